#pragma once

#include <string>

// Wave files played at the end of operations, relative to the work directory.
namespace SoundPath {
inline constexpr const char* Button = "sound/mouthsound.wav";
inline constexpr const char* Finish = "sound/finishsound.wav";
inline constexpr const char* Erase = "sound/del.wav";
}  // namespace SoundPath

// The prompt sounds as the operations use them: a wave file played when the
// prompt-sound switch is on. Safe from the worker thread.
class PromptSoundPort {
public:
    virtual ~PromptSoundPort() = default;
    virtual void PlayPromptSound(const std::string& relativePath) = 0;
};
