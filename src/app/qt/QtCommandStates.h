#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>

#include <map>

#include "ports/WindowPorts.h"

class QAction;
class QWidget;

// Enabled and checked states by command id: a button and its menu item with one
// id change together (the save pair 1075 included). The states are mirrored, so
// the worker reads them without waiting for the window; changes made on the
// worker reach the widgets on the window thread in the order they were made.
class QtCommandStates : public QObject, public CommandStates {
    Q_OBJECT

public:
    explicit QtCommandStates(QObject* parent = nullptr);

    // Registration (window thread, before the worker starts): the widget's or the
    // action's present state becomes the id's state.
    void addWidget(int id, QWidget* widget);
    void addAction(int id, QAction* action);

    void SetEnabled(int id, bool enabled) override;
    bool IsEnabled(int id) const override;
    void SetChecked(int id, bool checked) override;
    bool IsChecked(int id) const override;

Q_SIGNALS:
    // Window thread: a checked state was applied to the id's controls.
    void checkedChanged(int id, bool checked);

private:
    struct Controls {
        QList<QPointer<QWidget>> widgets;
        QList<QPointer<QAction>> actions;
    };
    void applyEnabled(int id);
    void applyChecked(int id);

    std::map<int, Controls> m_controls;  // window thread only
    mutable QMutex m_mutex;
    std::map<int, bool> m_enabled;
    std::map<int, bool> m_checked;
};
