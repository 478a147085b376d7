#pragma once

#include <functional>
#include <string>

// Small interfaces through which the core reaches the window. The Qt side
// implements them; tests implement them with recorders. Calls made on the worker
// thread are carried to the window thread by the implementation.

// Enabled and checked states of buttons and menu items, by command id. A button
// and a menu item with one id change together.
class CommandStates {
public:
    virtual ~CommandStates() = default;
    virtual void SetEnabled(int id, bool enabled) = 0;
    virtual bool IsEnabled(int id) const = 0;
    virtual void SetChecked(int id, bool checked) = 0;
    virtual bool IsChecked(int id) const = 0;
};

// Static texts and edit boxes of the window, by control id (labels 1011, 1032,
// 1033, 1082, the path box 1003).
class ControlTexts {
public:
    virtual ~ControlTexts() = default;
    virtual void SetText(int controlId, const std::string& text) = 0;
};

// The chip model drop-down list 1078.
class ChipModelList {
public:
    virtual ~ChipModelList() = default;
    // Selects a row (-1 clears the selection) without raising a selection-change notice.
    virtual void SelectRow(int row) = 0;
};

// Wave files and the exclamation beep.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    virtual void PlayWave(const std::string& path) = 0;
    virtual void Beep() = 0;
    // Hover and click sounds of the ten picture buttons and the check box.
    virtual void SetButtonSounds(const std::string& wavePath) = 0;  // empty path: none
};

// Runs a piece of core work on the window thread and waits for it; the worker
// uses it for work that rebuilds the view (the loader after a chip read).
class WindowThread {
public:
    virtual ~WindowThread() = default;
    virtual void Run(const std::function<void()>& work) = 0;
};
