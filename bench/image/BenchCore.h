#pragma once

// The window's share of the core for the image benchmarks: ports that do nothing,
// the image, the hex view and the loader, without a window.

#include <string>

#include "hexview/HexView.h"
#include "hexview/ScrollBarPort.h"
#include "image/FileImage.h"
#include "image/ImageLoader.h"
#include "operations/WorkerState.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"
#include "ports/WindowServices.h"
#include "widgets/GridModel.h"

struct NullStatus : StatusLine {
    void SetStatus(const std::string&, bool, bool) override {}
    void ShowProgress() override {}
    void SetProgress(int, const std::string&) override {}
    void HideProgress() override {}
};
struct NullBoxes : MessageBoxes {
    MessageAnswer Show(const std::string&, const std::string&, MessageIcon, MessageButtons) override {
        return MessageAnswer::Ok;
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
    std::string ChooseOpenFile(const std::vector<OpenDialogFilter>&, const std::string&) override { return {}; }
    std::string ChooseSaveFile(const std::vector<OpenDialogFilter>&, const std::string&) override { return {}; }
};
struct NullShell : ShellPort {
    ShellOpenResult Open(const std::string&) override { return ShellOpenResult::Opened; }
};

// The window's share of the core, without a window.
struct Core {
    explicit Core(const std::string& dir)
        : view(image, grid, scrollBar, commands, state),
          loader(image, view, grid, status, boxes, commands, texts, dir + "/h_alor1.dll",
                 dir + "/h_alor0.dll") {
        view.SetUpHexGrid();
        view.ResetScrollBar();
    }
    NullStatus status;
    NullBoxes boxes;
    NullCommands commands;
    NullTexts texts;
    NullScrollBar scrollBar;
    WorkerState state;
    FileImage image;
    GridModel grid;
    HexView view;
    ImageLoader loader;
};
