#include "operations/qt/StatusLineWidget.h"

#include <algorithm>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPalette>

#include "operations/qt/CaptionProgressBar.h"
#include "ports/CommandIds.h"
#include "ports/WindowPorts.h"
#include "widgets/qt/GuiThread.h"

StatusLineWidget::StatusLineWidget(QWidget* parent, SoundOutput* sound)
    : QWidget(parent), m_label(new QLabel(this)), m_bar(new CaptionProgressBar(this)), m_sound(sound) {
    m_label->setObjectName(QStringLiteral("statusText"));
    m_label->setProperty("controlId", CommandId::StatusText);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_label->setAutoFillBackground(true);
    m_label->setText(QStringLiteral("状态栏"));
    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_bar->setProperty("controlId", CommandId::ProgressBar);
    m_bar->setUp();
    applyColours();
}

void StatusLineWidget::SetStatus(const std::string& text, bool alert, bool beep) {
    const QString copy = QString::fromStdString(text);
    RunOnGuiThread(
        this, [this, copy, alert, beep] { applyStatus(copy, alert, beep); }, false);
}

void StatusLineWidget::ShowProgress() {
    RunOnGuiThread(
        this,
        [this] {
            m_bar->raise();
            m_bar->show();
        },
        false);
}

void StatusLineWidget::SetProgress(int position, const std::string& caption) {
    const QString copy = QString::fromStdString(caption);
    RunOnGuiThread(
        this,
        [this, position, copy] {
            m_bar->setPosition(position);
            m_bar->setCaption(copy);
        },
        false);
}

void StatusLineWidget::HideProgress() {
    RunOnGuiThread(
        this, [this] { m_bar->hide(); }, false);
}

void StatusLineWidget::applyStatus(const QString& text, bool alert, bool beep) {
    m_alert = alert;
    m_label->setText(text);
    applyColours();
    Q_EMIT statusChanged(text, alert);
    if (beep) {
        if (m_sound != nullptr)
            m_sound->Beep();
        else
            QApplication::beep();
    }
}

void StatusLineWidget::applyColours() {
    QPalette colours = m_label->palette();
    if (m_alert) {
        colours.setColor(QPalette::Window, QColor::fromRgb(AlertBackground));
        colours.setColor(QPalette::WindowText, Qt::white);
    } else {
        colours.setColor(QPalette::Window, palette().color(QPalette::Light));
        colours.setColor(QPalette::WindowText, Qt::black);
    }
    m_label->setPalette(colours);
}

void StatusLineWidget::setTextWidth(int pixels) {
    m_textWidth = pixels;
    m_label->setGeometry(0, 0, m_textWidth > 0 ? std::min(m_textWidth, width()) : width(), height());
}

void StatusLineWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_bar->setGeometry(rect());
    setTextWidth(m_textWidth);
}

void StatusLineWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyColours();
}
