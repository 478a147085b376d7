#include "app/PromptSounds.h"

#include <sys/stat.h>

#include "platform/File.h"
#include "ports/CommandIds.h"
#include "ports/WindowPorts.h"

namespace {
constexpr const char* kSettingFile = "halor2.dll";
}

PromptSounds::PromptSounds(SoundOutput& output, CommandStates& commands, std::string workDirectory)
    : m_output(output), m_commands(commands), m_workDirectory(std::move(workDirectory)) {}

void PromptSounds::Restore() {
    File file;
    if (!file.Open(m_workDirectory + kSettingFile, File::Mode::OpenOrCreate)) {
        Toggle();
        return;
    }
    unsigned char value = 0;
    if (file.ReadAt(0, &value, 1) != 1) value = 0;  // empty or unreadable: off
    file.Close();
    if (value == 1)
        SetOn(true);
    else
        Toggle();
}

void PromptSounds::Toggle() {
    const bool on = m_commands.IsChecked(CommandId::PromptSound);
    WriteSetting(on ? 0 : 1);
    SetOn(!on);
}

void PromptSounds::PlayPromptSound(const std::string& relativePath) {
    if (!m_enabled) return;
    struct stat st {};
    if (stat((m_workDirectory + relativePath).c_str(), &st) == 0 && S_ISREG(st.st_mode))
        m_output.PlayWave(relativePath);
    else
        m_output.Beep();  // the system's default sound stands in for a missing wave file
}

void PromptSounds::WriteSetting(unsigned char value) {
    // A setting that cannot be written is simply not kept; the switch still flips.
    File file;
    if (file.Open(m_workDirectory + kSettingFile, File::Mode::OpenOrCreate)) file.WriteAt(0, &value, 1);
}

void PromptSounds::SetOn(bool on) {
    m_output.SetButtonSounds(on ? SoundPath::Button : "");
    m_commands.SetChecked(CommandId::PromptSound, on);
    m_enabled = on;
}
