#pragma once

#include <atomic>
#include <string>

#include "ports/PromptSoundPort.h"

class CommandStates;
class SoundOutput;

// Wave files played at the end of operations, the button sounds, and the on/off
// switch kept in the one-byte settings file "halor2.dll".
class PromptSounds : public PromptSoundPort {
public:
    PromptSounds(SoundOutput& output, CommandStates& commands, std::string workDirectory);

    // Start-up: reads the settings file (created when missing) and sets the switch.
    void Restore();
    // Command 32810: flips the switch and writes the settings file.
    void Toggle();
    // Plays a wave file (relative to the work directory) when the switch is on; a
    // missing file gives the beep instead. Safe from the worker thread.
    void PlayPromptSound(const std::string& relativePath) override;
    bool enabled() const { return m_enabled; }

private:
    void WriteSetting(unsigned char value);
    void SetOn(bool on);

    SoundOutput& m_output;
    CommandStates& m_commands;
    std::string m_workDirectory;
    std::atomic<bool> m_enabled{true};
};
