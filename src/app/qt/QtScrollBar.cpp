#include "app/qt/QtScrollBar.h"

#include <QScrollBar>
#include <QSignalBlocker>

#include "widgets/qt/GuiThread.h"

QtScrollBar::QtScrollBar(QScrollBar* bar, QObject* parent) : QObject(parent), m_bar(bar) {
    connect(bar, &QAbstractSlider::actionTriggered, this, &QtScrollBar::onAction);
}

void QtScrollBar::SetRange(int maximum, bool enabled) {
    RunOnGuiThread(
        this,
        [this, maximum, enabled] {
            if (!m_bar) return;
            const QSignalBlocker quiet(m_bar.data());
            m_bar->setRange(0, maximum);
            m_bar->setSingleStep(1);
            m_bar->setPageStep(1);
            m_bar->setValue(0);
            m_bar->setEnabled(enabled);
        },
        false);
}

void QtScrollBar::SetPosition(int position) {
    RunOnGuiThread(
        this,
        [this, position] {
            if (!m_bar) return;
            const QSignalBlocker quiet(m_bar.data());
            m_bar->setValue(position);
            m_bar->setSliderPosition(position);
        },
        false);
}

void QtScrollBar::TakeFocus() {
    RunOnGuiThread(
        this,
        [this] {
            if (m_bar) m_bar->setFocus(Qt::OtherFocusReason);
        },
        false);
}

void QtScrollBar::onAction(int action) {
    ScrollCode code;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            code = ScrollCode::LineUp;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            code = ScrollCode::LineDown;
            break;
        case QAbstractSlider::SliderPageStepSub:
            code = ScrollCode::PageUp;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            code = ScrollCode::PageDown;
            break;
        case QAbstractSlider::SliderMove:
            code = ScrollCode::ThumbTrack;
            break;
        case QAbstractSlider::SliderToMinimum:
            code = ScrollCode::Top;
            break;
        case QAbstractSlider::SliderToMaximum:
            code = ScrollCode::Bottom;
            break;
        default:
            code = ScrollCode::EndScroll;
            break;
    }
    // The bar has moved its thumb already; it keeps the value it had unless the
    // view moves the page and sets the new position itself.
    const int proposed = m_bar->sliderPosition();
    const int current = m_bar->value();
    {
        const QSignalBlocker quiet(m_bar.data());
        m_bar->setSliderPosition(current);
    }
    if (m_handler) m_handler(code, proposed);
}
