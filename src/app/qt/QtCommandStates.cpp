#include "app/qt/QtCommandStates.h"

#include <QAbstractButton>
#include <QAction>
#include <QMutexLocker>
#include <QWidget>

#include "widgets/qt/GuiThread.h"

QtCommandStates::QtCommandStates(QObject* parent) : QObject(parent) {}

void QtCommandStates::addWidget(int id, QWidget* widget) {
    m_controls[id].widgets.append(widget);
    QMutexLocker lock(&m_mutex);
    m_enabled[id] = widget->isEnabled();
    if (auto* button = qobject_cast<QAbstractButton*>(widget); button != nullptr && button->isCheckable())
        m_checked[id] = button->isChecked();
}

void QtCommandStates::addAction(int id, QAction* action) {
    m_controls[id].actions.append(action);
    QMutexLocker lock(&m_mutex);
    m_enabled[id] = action->isEnabled();
    if (action->isCheckable()) m_checked[id] = action->isChecked();
}

void QtCommandStates::SetEnabled(int id, bool enabled) {
    {
        QMutexLocker lock(&m_mutex);
        m_enabled[id] = enabled;
    }
    RunOnGuiThread(
        this, [this, id] { applyEnabled(id); }, false);
}

bool QtCommandStates::IsEnabled(int id) const {
    QMutexLocker lock(&m_mutex);
    auto it = m_enabled.find(id);
    return it != m_enabled.end() && it->second;
}

void QtCommandStates::SetChecked(int id, bool checked) {
    {
        QMutexLocker lock(&m_mutex);
        m_checked[id] = checked;
    }
    RunOnGuiThread(
        this, [this, id] { applyChecked(id); }, false);
}

bool QtCommandStates::IsChecked(int id) const {
    QMutexLocker lock(&m_mutex);
    auto it = m_checked.find(id);
    return it != m_checked.end() && it->second;
}

// The widgets take the newest state, so a change queued by the worker never
// overrides a later one made on the window thread.
void QtCommandStates::applyEnabled(int id) {
    const bool enabled = IsEnabled(id);
    auto it = m_controls.find(id);
    if (it == m_controls.end()) return;
    for (const QPointer<QWidget>& widget : it->second.widgets)
        if (widget) widget->setEnabled(enabled);
    for (const QPointer<QAction>& action : it->second.actions)
        if (action) action->setEnabled(enabled);
}

void QtCommandStates::applyChecked(int id) {
    const bool checked = IsChecked(id);
    auto it = m_controls.find(id);
    if (it == m_controls.end()) return;
    for (const QPointer<QWidget>& widget : it->second.widgets)
        if (auto* button = qobject_cast<QAbstractButton*>(widget.data()); button != nullptr)
            button->setChecked(checked);
    for (const QPointer<QAction>& action : it->second.actions)
        if (action) action->setChecked(checked);
    Q_EMIT checkedChanged(id, checked);
}
