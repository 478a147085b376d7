#pragma once

#include <string>

// The status text and the captioned progress bar beneath the hex view.
// Texts are UTF-8. Implementations carry calls made on the worker to the window.
class StatusLine {
public:
    virtual ~StatusLine() = default;
    virtual void SetStatus(const std::string& text, bool alert, bool beep) = 0;
    virtual void ShowProgress() = 0;
    virtual void SetProgress(int position, const std::string& caption) = 0;
    virtual void HideProgress() = 0;
};
