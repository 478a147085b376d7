#include "app/qt/QtControlTexts.h"

#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>

#include "widgets/qt/GuiThread.h"

QtControlTexts::QtControlTexts(QObject* parent) : QObject(parent) {}

void QtControlTexts::addControl(int id, QWidget* control)
{
    m_controls[id] = control;
}

void QtControlTexts::SetText(int controlId, const std::string& text)
{
    {
        QMutexLocker lock(&m_mutex);
        m_texts[controlId] = QString::fromStdString(text);
    }
    RunOnGuiThread(this, [this, controlId] { apply(controlId); }, false);
}

// The control takes the newest text, so a text queued by the worker never
// overrides a later one set on the window thread.
void QtControlTexts::apply(int id)
{
    QString text;
    {
        QMutexLocker lock(&m_mutex);
        text = m_texts[id];
    }
    auto it = m_controls.find(id);
    if (it == m_controls.end() || !it->second)
        return;
    if (auto* label = qobject_cast<QLabel*>(it->second.data()))
        label->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(it->second.data()))
        edit->setText(text);
}
