#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "ports/MessageBoxes.h"

// The message-box port: boxes asked for on the worker are shown on the window
// thread while the worker waits for the answer. Owned by the main window, or
// without owner (start-up).
class QtMessageBoxes : public QObject, public MessageBoxes {
    Q_OBJECT

public:
    explicit QtMessageBoxes(QWidget* owner = nullptr, QObject* parent = nullptr);

    MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons = MessageButtons::Ok) override;

private:
    QPointer<QWidget> m_owner;
};
