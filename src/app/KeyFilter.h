#pragma once

#include <functional>

// Keys the main window's filter tells apart.
enum class FilterKey { Esc, Enter, F3, F4, F5, F6, F7, F8, F9, O, S, Other };

struct KeyPress {
    FilterKey key = FilterKey::Other;
    bool ctrl = false;
    bool someWindowHasFocus = false;
    bool alt = false;
};

struct KeyAction {
    enum class Kind {
        PassOn,          // normal dialog processing
        Swallow,         // dropped
        SendCommand,     // run `command`, then dropped
        CommitCellEdit,  // commit the cell under edit, then dropped
        CloseRequest,    // the window's close request (Alt+F4), then dropped
    };
    Kind kind = Kind::PassOn;
    int command = 0;

    bool operator==(const KeyAction&) const = default;
};

// The main window's key filter, applied to every key press before normal
// dispatch. `isEnabled` tells whether the button with an id is enabled. Keys held
// with Alt are no commands (Alt+F4 would erase the chip); Alt+F4 is the desktop's
// close request and goes the usual close way.
KeyAction FilterKeyPress(const KeyPress& press, const std::function<bool(int id)>& isEnabled);
