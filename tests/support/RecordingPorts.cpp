#include "RecordingPorts.h"

void EventLog::Add(std::string event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
}

std::vector<std::string> EventLog::Events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

void EventLog::Clear() {
    std::lock_guard lock(m_mutex);
    m_events.clear();
}

std::vector<std::string> EventLog::With(const std::string& prefix) const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> out;
    for (const auto& e : m_events)
        if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
}

void RecordingStatusLine::SetStatus(const std::string& text, bool alert, bool beep) {
    {
        std::lock_guard lock(m_mutex);
        m_text = text;
        m_alert = alert;
    }
    m_log.Add("status:" + text + (alert ? "|alert" : "") + (beep ? "|beep" : ""));
}

void RecordingStatusLine::ShowProgress() {
    m_log.Add("show-progress");
}

void RecordingStatusLine::SetProgress(int position, const std::string& caption) {
    {
        std::lock_guard lock(m_mutex);
        m_positions.push_back(position);
    }
    m_log.Add("progress:" + std::to_string(position) + "|" + caption);
}

void RecordingStatusLine::HideProgress() {
    m_log.Add("hide-progress");
}

std::string RecordingStatusLine::lastText() const {
    std::lock_guard lock(m_mutex);
    return m_text;
}

bool RecordingStatusLine::lastAlert() const {
    std::lock_guard lock(m_mutex);
    return m_alert;
}

std::vector<int> RecordingStatusLine::positions() const {
    std::lock_guard lock(m_mutex);
    return m_positions;
}

std::string IconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return "information";
        case MessageIcon::Exclamation:
            return "exclamation";
        case MessageIcon::Question:
            return "question";
        case MessageIcon::Stop:
            return "stop";
        case MessageIcon::None:
            return "none";
    }
    return "?";
}

MessageAnswer ScriptedMessageBoxes::Show(const std::string& text, const std::string& title, MessageIcon icon,
                                         MessageButtons buttons) {
    m_log.Add("box:" + title + "|" + IconName(icon) + "|" + text);
    std::lock_guard lock(m_mutex);
    ++m_shown;
    if (!m_answers.empty()) {
        MessageAnswer a = m_answers.front();
        m_answers.pop_front();
        return a;
    }
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
}

void ScriptedMessageBoxes::QueueAnswer(MessageAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

int ScriptedMessageBoxes::shown() const {
    std::lock_guard lock(m_mutex);
    return m_shown;
}

void RecordingCommandStates::SetEnabled(int id, bool enabled) {
    {
        std::lock_guard lock(m_mutex);
        auto it = m_enabled.find(id);
        bool was = it == m_enabled.end() ? true : it->second;
        m_enabled[id] = enabled;
        if (was == enabled && it != m_enabled.end()) return;
    }
    m_log.Add("enable:" + std::to_string(id) + "|" + (enabled ? "1" : "0"));
}

bool RecordingCommandStates::IsEnabled(int id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_enabled.find(id);
    return it == m_enabled.end() ? true : it->second;
}

void RecordingCommandStates::SetChecked(int id, bool checked) {
    {
        std::lock_guard lock(m_mutex);
        auto it = m_checked.find(id);
        if (it != m_checked.end() && it->second == checked) return;
        m_checked[id] = checked;
    }
    m_log.Add("check:" + std::to_string(id) + "|" + (checked ? "1" : "0"));
}

bool RecordingCommandStates::IsChecked(int id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_checked.find(id);
    return it != m_checked.end() && it->second;
}

void RecordingControlTexts::SetText(int controlId, const std::string& text) {
    {
        std::lock_guard lock(m_mutex);
        m_texts[controlId] = text;
    }
    m_log.Add("text:" + std::to_string(controlId) + "|" + text);
}

std::string RecordingControlTexts::Text(int controlId) const {
    std::lock_guard lock(m_mutex);
    auto it = m_texts.find(controlId);
    return it == m_texts.end() ? std::string() : it->second;
}

void RecordingChipModelList::SelectRow(int row) {
    {
        std::lock_guard lock(m_mutex);
        m_row = row;
    }
    m_log.Add("select-row:" + std::to_string(row));
}

int RecordingChipModelList::row() const {
    std::lock_guard lock(m_mutex);
    return m_row;
}

void RecordingSoundOutput::PlayWave(const std::string& path) {
    m_log.Add("wave:" + path);
}
void RecordingSoundOutput::Beep() {
    m_log.Add("beep");
}
void RecordingSoundOutput::SetButtonSounds(const std::string& wavePath) {
    m_log.Add("button-sounds:" + wavePath);
}
