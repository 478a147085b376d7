#pragma once

#include <string>

#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"

// Window ports for the benchmarks of the chip operations; the others are the
// command-line tool's do-nothing ports (cli/CliPorts.h).

// Keeps the last status text, so a failed run can say why.
class LastStatusLine : public StatusLine {
public:
    void SetStatus(const std::string& text, bool, bool) override { last = text; }
    void ShowProgress() override {}
    void SetProgress(int, const std::string&) override {}
    void HideProgress() override {}
    std::string last;
};

// Answers every question Yes (Ok where that is the only button).
class YesBoxes : public MessageBoxes {
public:
    MessageAnswer Show(const std::string&, const std::string&, MessageIcon, MessageButtons b) override {
        return b == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
    }
};
