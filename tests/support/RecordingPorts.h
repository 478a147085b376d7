#pragma once

// Recorders for the window ports. Every call is appended to one event list, so a
// test can check the exact texts and their order across ports. Thread-safe: the
// worker calls them from its own thread.

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"

// One line per port call, e.g. "status:设备未连接...|alert|beep", "progress:37|已烧录37%".
class EventLog {
public:
    void Add(std::string event);
    std::vector<std::string> Events() const;
    void Clear();
    // Events that start with `prefix`, in order.
    std::vector<std::string> With(const std::string& prefix) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
};

// status:TEXT[|alert][|beep]  show-progress  progress:POS|CAPTION  hide-progress
class RecordingStatusLine : public StatusLine {
public:
    explicit RecordingStatusLine(EventLog& log) : m_log(log) {}
    void SetStatus(const std::string& text, bool alert, bool beep) override;
    void ShowProgress() override;
    void SetProgress(int position, const std::string& caption) override;
    void HideProgress() override;

    std::string lastText() const;
    bool lastAlert() const;
    std::vector<int> positions() const;  // every SetProgress position, in order

private:
    EventLog& m_log;
    mutable std::mutex m_mutex;
    std::string m_text;
    bool m_alert = false;
    std::vector<int> m_positions;
};

// box:TITLE|ICON|TEXT ; answers come from a script (default: Ok / Yes for questions).
class ScriptedMessageBoxes : public MessageBoxes {
public:
    explicit ScriptedMessageBoxes(EventLog& log) : m_log(log) {}
    MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override;
    void QueueAnswer(MessageAnswer answer);
    int shown() const;

private:
    EventLog& m_log;
    mutable std::mutex m_mutex;
    std::deque<MessageAnswer> m_answers;
    int m_shown = 0;
};

// enable:ID|0/1  check:ID|0/1 (only changes of state are logged)
class RecordingCommandStates : public CommandStates {
public:
    explicit RecordingCommandStates(EventLog& log) : m_log(log) {}
    void SetEnabled(int id, bool enabled) override;
    bool IsEnabled(int id) const override;
    void SetChecked(int id, bool checked) override;
    bool IsChecked(int id) const override;

private:
    EventLog& m_log;
    mutable std::mutex m_mutex;
    std::map<int, bool> m_enabled;  // absent = enabled
    std::map<int, bool> m_checked;  // absent = unchecked
};

// text:ID|TEXT
class RecordingControlTexts : public ControlTexts {
public:
    explicit RecordingControlTexts(EventLog& log) : m_log(log) {}
    void SetText(int controlId, const std::string& text) override;
    std::string Text(int controlId) const;

private:
    EventLog& m_log;
    mutable std::mutex m_mutex;
    std::map<int, std::string> m_texts;
};

// select-row:ROW
class RecordingChipModelList : public ChipModelList {
public:
    explicit RecordingChipModelList(EventLog& log) : m_log(log) {}
    void SelectRow(int row) override;
    int row() const;

private:
    EventLog& m_log;
    mutable std::mutex m_mutex;
    int m_row = -1;
};

// wave:PATH  beep  button-sounds:PATH
class RecordingSoundOutput : public SoundOutput {
public:
    explicit RecordingSoundOutput(EventLog& log) : m_log(log) {}
    void PlayWave(const std::string& path) override;
    void Beep() override;
    void SetButtonSounds(const std::string& wavePath) override;

private:
    EventLog& m_log;
};

// Runs the work at once on the calling thread (the test stands in for the window).
class InlineWindowThread : public WindowThread {
public:
    void Run(const std::function<void()>& work) override { work(); }
};

std::string IconName(MessageIcon icon);
