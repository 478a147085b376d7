#include "app/qt/QtControlTexts.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>

#include "widgets/qt/GuiThread.h"

QtControlTexts::QtControlTexts(QObject* parent) : QObject(parent) {}

// The left panel's fields are narrow: a long size ("1048576.00KB") or name steps
// the font down until the whole text shows; a name still too long is shortened in
// the middle, with the whole name in its tool tip.
void QtControlTexts::fitLabelText(QLabel* label, const QString& text) {
    static const char* const kBaseSize = "baseFontPointSize";
    if (!label->property(kBaseSize).isValid()) label->setProperty(kBaseSize, label->font().pointSizeF());
    QFont font = label->font();
    font.setPointSizeF(label->property(kBaseSize).toDouble());
    const qreal smallest = 7.0;
    while (QFontMetrics(font).horizontalAdvance(text) > label->width() && font.pointSizeF() - 0.5 >= smallest)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    label->setFont(font);
    const QFontMetrics metrics(font);
    const bool fits = metrics.horizontalAdvance(text) <= label->width();
    label->setText(fits ? text : metrics.elidedText(text, Qt::ElideMiddle, label->width()));
    label->setToolTip(fits ? QString() : text);
}

void QtControlTexts::addControl(int id, QWidget* control) {
    m_controls[id] = control;
}

void QtControlTexts::SetText(int controlId, const std::string& text) {
    {
        QMutexLocker lock(&m_mutex);
        m_texts[controlId] = QString::fromStdString(text);
    }
    RunOnGuiThread(
        this, [this, controlId] { apply(controlId); }, false);
}

// The control takes the newest text, so a text queued by the worker never
// overrides a later one set on the window thread.
void QtControlTexts::apply(int id) {
    QString text;
    {
        QMutexLocker lock(&m_mutex);
        text = m_texts[id];
    }
    auto it = m_controls.find(id);
    if (it == m_controls.end() || !it->second) return;
    if (auto* label = qobject_cast<QLabel*>(it->second.data())) {
        fitLabelText(label, text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(it->second.data()))
        edit->setText(text);
}
