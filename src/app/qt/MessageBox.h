#pragma once

#include <QList>
#include <QString>

#include "ports/MessageBoxes.h"

class QWidget;

// Every message box of the program is shown through here (window thread only).
// Tests switch on the test mode: no box is ever shown, every request is recorded,
// and the answer is the next one queued with setNextAnswer(), or the answer of
// closing the box (Cancel, No, or Ok) when none is queued.
class MessageBox {
public:
    struct Request {
        QString text;
        QString title;
        MessageIcon icon;
        MessageButtons buttons;
    };

    static MessageAnswer show(QWidget* parent, const QString& text, const QString& title, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok);

    // The answer given when the box is closed without choosing a button.
    static MessageAnswer closeAnswer(MessageButtons buttons);

    // Test hooks.
    static void setTestMode(bool on);
    static void setNextAnswer(MessageAnswer answer);
    static QList<Request> requests();
    static void clearRequests();
};
