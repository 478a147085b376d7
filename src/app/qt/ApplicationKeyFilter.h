#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

#include "app/KeyFilter.h"

class QKeyEvent;

// The main window's key filter, installed on the application so that the
// function keys and Ctrl+O / Ctrl+S work whatever control has the focus. Only
// keys meant for the main window pass through it; other windows (message boxes,
// dialogs, open menus) keep their keys.
class ApplicationKeyFilter : public QObject {
    Q_OBJECT

public:
    struct Handlers {
        std::function<bool(int id)> isEnabled;
        std::function<void(int id)> sendCommand;
        std::function<void()> commitCellEdit;
    };

    ApplicationKeyFilter(QWidget* window, Handlers handlers, QObject* parent = nullptr);

    static KeyPress Translate(const QKeyEvent& event, bool someWindowHasFocus);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    Handlers m_handlers;
};
