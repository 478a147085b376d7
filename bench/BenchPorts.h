#pragma once

// Window ports for the benchmarks, which run the core without a window: most do
// nothing; the status line may keep its last text and the boxes may say Yes.

#include <string>
#include <vector>

#include "hexview/ScrollBarPort.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"
#include "ports/WindowServices.h"

struct NullStatus : StatusLine {
    void SetStatus(const std::string&, bool, bool) override {}
    void ShowProgress() override {}
    void SetProgress(int, const std::string&) override {}
    void HideProgress() override {}
};
// Keeps the last status text, so a failed run can say why.
struct LastStatusLine : NullStatus {
    void SetStatus(const std::string& text, bool, bool) override { last = text; }
    std::string last;
};
struct NullBoxes : MessageBoxes {
    MessageAnswer Show(const std::string&, const std::string&, MessageIcon, MessageButtons) override {
        return MessageAnswer::Ok;
    }
};
// Answers every question Yes (Ok where that is the only button).
struct YesBoxes : MessageBoxes {
    MessageAnswer Show(const std::string&, const std::string&, MessageIcon, MessageButtons b) override {
        return b == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
    }
};
struct NullCommands : CommandStates {
    void SetEnabled(int, bool) override {}
    bool IsEnabled(int) const override { return true; }
    void SetChecked(int, bool) override {}
    bool IsChecked(int) const override { return false; }
};
struct NullTexts : ControlTexts {
    void SetText(int, const std::string&) override {}
};
struct NullScrollBar : ScrollBarPort {
    void SetRange(int, bool) override {}
    void SetPosition(int) override {}
    void TakeFocus() override {}
};
struct NullFileDialog : FileDialogPort {
    std::string ChooseOpenFile(const std::vector<OpenDialogFilter>&, const std::string&) override {
        return {};
    }
    std::string ChooseSaveFile(const std::vector<OpenDialogFilter>&, const std::string&) override {
        return {};
    }
};
struct NullShell : ShellPort {
    ShellOpenResult Open(const std::string&) override { return ShellOpenResult::Opened; }
    ShellOpenResult ShowInOwnViewer(const std::string&, OwnViewer) override {
        return ShellOpenResult::Opened;
    }
};
