#pragma once

#include <string>

enum class MessageIcon { Information, Exclamation, Question, Stop, None };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

// The answer of a box closed without a button: Cancel, or No where there is no Cancel.
inline MessageAnswer ClosedBoxAnswer(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        case MessageButtons::YesNoCancel:
            return MessageAnswer::Cancel;
    }
    return MessageAnswer::Cancel;
}

// Modal message boxes owned by the main window. A question asked from the worker
// waits on the window thread for its answer; closing a box counts as Cancel (or No
// where there is no Cancel).
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                               MessageButtons buttons = MessageButtons::Ok) = 0;
};
