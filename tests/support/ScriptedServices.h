#pragma once

// Scripted stand-ins for the window's file dialogs and the shell's "open".

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "RecordingPorts.h"
#include "ports/WindowServices.h"

// open-dialog:FILTER;FILTER|SUFFIX  save-dialog:FILTER;...|SUFFIX ; answers from one queue (none: cancelled).
class ScriptedFileDialog : public FileDialogPort {
public:
    explicit ScriptedFileDialog(EventLog& log) : m_log(log) {}
    std::string ChooseOpenFile(const std::vector<OpenDialogFilter>& filters,
                               const std::string& suffix) override {
        return Answer("open-dialog:", filters, suffix);
    }
    std::string ChooseSaveFile(const std::vector<OpenDialogFilter>& filters,
                               const std::string& suffix) override {
        return Answer("save-dialog:", filters, suffix);
    }
    void Queue(std::string name) { m_names.push_back(std::move(name)); }
    // Runs while the dialog is open (the window still gets device notices).
    std::function<void()> whileOpen;

private:
    std::string Answer(std::string text, const std::vector<OpenDialogFilter>& filters,
                       const std::string& suffix) {
        for (const OpenDialogFilter& filter : filters) text += filter.label + ";";
        m_log.Add(text + "|" + suffix);
        if (whileOpen) whileOpen();
        if (m_names.empty()) return {};
        std::string name = m_names.front();
        m_names.pop_front();
        return name;
    }

    EventLog& m_log;
    std::deque<std::string> m_names;
};

// shell-open:PATH, own-viewer:manual|PATH, own-viewer:log|PATH
class RecordingShell : public ShellPort {
public:
    explicit RecordingShell(EventLog& log) : m_log(log) {}
    ShellOpenResult Open(const std::string& path) override {
        m_log.Add("shell-open:" + path);
        const auto it = results.find(path);
        return it == results.end() ? result : it->second;
    }
    ShellOpenResult ShowInOwnViewer(const std::string& path, OwnViewer viewer) override {
        m_log.Add(std::string("own-viewer:") + (viewer == OwnViewer::Manual ? "manual|" : "log|") + path);
        return ownResult;
    }
    ShellOpenResult result = ShellOpenResult::Opened;
    std::map<std::string, ShellOpenResult> results;  // by path, before `result`
    ShellOpenResult ownResult = ShellOpenResult::Opened;

private:
    EventLog& m_log;
};
