#include "operations/qt/CaptionProgressBar.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <mutex>

namespace {

// Screen readers see the bar like Qt's own progress bar: its caption as name and
// value text, its position through the value interface.
class AccessibleCaptionProgressBar : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleCaptionProgressBar(CaptionProgressBar* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name || t == QAccessible::Value) return bar()->caption();
        return QAccessibleWidget::text(t);
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return bar()->position(); }
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return bar()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }
    // The bar shows progress; assistive tools may not move it.
    void setCurrentValue(const QVariant&) override {}

private:
    CaptionProgressBar* bar() const { return static_cast<CaptionProgressBar*>(widget()); }
};

QAccessibleInterface* captionProgressBarFactory(const QString& key, QObject* object) {
    if (key == QLatin1String("CaptionProgressBar"))
        if (auto* bar = qobject_cast<CaptionProgressBar*>(object))
            return new AccessibleCaptionProgressBar(bar);
    return nullptr;
}

}  // namespace

CaptionProgressBar::CaptionProgressBar(QWidget* parent) : QWidget(parent) {
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(captionProgressBarFactory); });
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
}

void CaptionProgressBar::setUp() {
    setRange(0, 100);
    setStep(100);
    setPosition(0);
    setCaption(QString());
    setCaptionColour(Qt::black);
    setBarColour(QColor::fromRgb(BarColour));
    hide();
}

void CaptionProgressBar::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
    update();
}

void CaptionProgressBar::setStep(int step) {
    m_step = step;
}

void CaptionProgressBar::setPosition(int position) {
    if (position == m_position) return;
    m_position = position;
    update();
    Q_EMIT positionChanged(position);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, position);
        QAccessible::updateAccessibility(&event);
    }
}

void CaptionProgressBar::setCaption(const QString& caption) {
    if (caption == m_caption) return;
    m_caption = caption;
    update();
    Q_EMIT captionChanged(caption);
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void CaptionProgressBar::setCaptionColour(const QColor& colour) {
    m_captionColour = colour;
    update();
}

void CaptionProgressBar::setBarColour(const QColor& colour) {
    m_barColour = colour;
    update();
}

int CaptionProgressBar::splitX(int width) const {
    const long long span = static_cast<long long>(m_maximum) - m_minimum;
    if (span <= 0 || width <= 0) return 0;
    // Multiplying before dividing keeps a bar narrower than the range span from
    // staying empty; the result is truncated like the bar's whole-pixel split.
    const long long done = std::clamp<long long>(static_cast<long long>(m_position) - m_minimum, 0, span);
    return static_cast<int>(done * width / span);
}

void CaptionProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    const int split = splitX(area.width());
    painter.fillRect(QRect(0, 0, split, area.height()), m_barColour);
    painter.fillRect(QRect(split, 0, area.width() - split, area.height()), palette().color(QPalette::Button));
    if (!m_caption.isEmpty()) {
        painter.setPen(m_captionColour);
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, m_caption);
    }
}
