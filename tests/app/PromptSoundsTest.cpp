#include "app/PromptSounds.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "RecordingPorts.h"
#include "TempDirectory.h"
#include "platform/File.h"
#include "ports/CommandIds.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Events = std::vector<std::string>;

const std::string kSoundsOn = "button-sounds:sound/mouthsound.wav";
const std::string kSoundsOff = "button-sounds:";
const std::string kChecked = "check:32810|1";
const std::string kUnchecked = "check:32810|0";

class PromptSoundsTest : public ::testing::Test {
protected:
    PromptSoundsTest() {
        // The menu resource starts with the item checked.
        m_commands.SetChecked(CommandId::PromptSound, true);
        m_log.Clear();
    }
    PromptSounds Make(const std::string& workDirectory) {
        return PromptSounds(m_sound, m_commands, workDirectory);
    }
    bool Checked() const { return m_commands.IsChecked(CommandId::PromptSound); }

    TempDirectory m_dir;
    EventLog m_log;
    RecordingSoundOutput m_sound{m_log};
    RecordingCommandStates m_commands{m_log};
};

TEST_F(PromptSoundsTest, RestoreFromTheSettingFile) {
    struct Row {
        const char* what;
        bool exists;
        Bytes before;
        Bytes after;
        bool on;
        Events events;
    };
    const Row rows[] = {
        {"first run, no file", false, {}, {0}, false, {kSoundsOff, kUnchecked}},
        {"empty file", true, {}, {0}, false, {kSoundsOff, kUnchecked}},
        {"byte 0", true, {0}, {0}, false, {kSoundsOff, kUnchecked}},
        {"byte 1", true, {1}, {1}, true, {kSoundsOn}},
        {"byte 2", true, {2}, {0}, false, {kSoundsOff, kUnchecked}},
        {"byte 255", true, {255}, {0}, false, {kSoundsOff, kUnchecked}},
        {"ASCII '1'", true, {'1'}, {0}, false, {kSoundsOff, kUnchecked}},
        {"1 then more bytes", true, {1, 7, 7}, {1, 7, 7}, true, {kSoundsOn}},
        {"2 then more bytes, never truncated",
         true,
         {2, 'A', 'B'},
         {0, 'A', 'B'},
         false,
         {kSoundsOff, kUnchecked}},
    };
    for (const Row& row : rows) {
        TempDirectory dir;
        if (row.exists) dir.Write("halor2.dll", row.before);
        m_commands.SetChecked(CommandId::PromptSound, true);
        m_log.Clear();
        PromptSounds sounds = Make(dir.dir());
        sounds.Restore();
        EXPECT_EQ(dir.Read("halor2.dll"), row.after) << row.what;
        EXPECT_EQ(sounds.enabled(), row.on) << row.what;
        EXPECT_EQ(Checked(), row.on) << row.what;
        EXPECT_EQ(m_log.Events(), row.events) << row.what;
    }
}

TEST_F(PromptSoundsTest, SettingThatCannotBeOpenedMeansOff) {
    // Missing work directory, and a directory standing where the file should be.
    std::filesystem::create_directory(m_dir.path() / "halor2.dll");
    for (const std::string& work : {m_dir.dir() + "missing/", m_dir.dir()}) {
        m_commands.SetChecked(CommandId::PromptSound, true);
        m_log.Clear();
        PromptSounds sounds = Make(work);
        sounds.Restore();
        EXPECT_FALSE(sounds.enabled()) << work;
        EXPECT_EQ(m_log.Events(), (Events{kSoundsOff, kUnchecked})) << work;
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() / "missing"));
}

TEST_F(PromptSoundsTest, SettingThatCannotBeReadMeansOffAndIsRewritten) {
    m_dir.Write("halor2.dll", {1});
    File::SetFaultHook([](const File&, uint64_t, size_t, bool write) { return write ? 0 : EIO; });
    PromptSounds sounds = Make(m_dir.dir());
    sounds.Restore();
    File::SetFaultHook(nullptr);
    EXPECT_FALSE(sounds.enabled());
    EXPECT_EQ(m_dir.Read("halor2.dll"), Bytes{0});
}

TEST_F(PromptSoundsTest, ToggleOffAndOnAgain) {
    m_dir.Write("halor2.dll", {1});
    PromptSounds sounds = Make(m_dir.dir());
    sounds.Restore();
    m_log.Clear();

    sounds.Toggle();
    EXPECT_EQ(m_dir.Read("halor2.dll"), Bytes{0});
    EXPECT_FALSE(sounds.enabled());
    EXPECT_EQ(m_log.Events(), (Events{kSoundsOff, kUnchecked}));

    m_log.Clear();
    sounds.Toggle();
    EXPECT_EQ(m_dir.Read("halor2.dll"), Bytes{1});
    EXPECT_TRUE(sounds.enabled());
    EXPECT_EQ(m_log.Events(), (Events{kSoundsOn, kChecked}));
}

TEST_F(PromptSoundsTest, ToggleFollowsTheCheckMarkAndKeepsLaterBytes) {
    m_dir.Write("halor2.dll", {0, 9, 9});
    PromptSounds sounds = Make(m_dir.dir());
    m_commands.SetChecked(CommandId::PromptSound, false);
    sounds.Toggle();
    EXPECT_EQ(m_dir.Read("halor2.dll"), (Bytes{1, 9, 9}));
    EXPECT_TRUE(Checked());
}

TEST_F(PromptSoundsTest, ToggleFlipsEvenWhenTheSettingCannotBeWritten) {
    PromptSounds sounds = Make(m_dir.dir() + "missing/");
    sounds.Toggle();
    EXPECT_FALSE(Checked());
    sounds.Toggle();
    EXPECT_TRUE(Checked());
    EXPECT_TRUE(sounds.enabled());
}

TEST_F(PromptSoundsTest, PlayRule) {
    std::filesystem::create_directory(m_dir.path() / "sound");
    m_dir.Write("sound/finishsound.wav", {'R', 'I', 'F', 'F'});
    std::filesystem::create_directory(m_dir.path() / "sound" / "del.wav");  // not a file
    struct Row {
        bool on;
        const char* path;
        Events events;
    };
    const Row rows[] = {
        {true, SoundPath::Finish, {"wave:sound/finishsound.wav"}},
        {true, SoundPath::Erase, {"beep"}},
        {true, "sound/none.wav", {"beep"}},
        {false, SoundPath::Finish, {}},
        {false, "sound/none.wav", {}},
    };
    for (const Row& row : rows) {
        PromptSounds sounds = Make(m_dir.dir());
        m_commands.SetChecked(CommandId::PromptSound, !row.on);
        sounds.Toggle();
        ASSERT_EQ(sounds.enabled(), row.on);
        m_log.Clear();
        sounds.PlayPromptSound(row.path);
        EXPECT_EQ(m_log.Events(), row.events) << row.path << (row.on ? " on" : " off");
    }
}

TEST_F(PromptSoundsTest, PlayFromTheWorkerWhileTheWindowToggles) {
    std::filesystem::create_directory(m_dir.path() / "sound");
    m_dir.Write("sound/finishsound.wav", {0});
    PromptSounds sounds = Make(m_dir.dir());
    std::thread worker([&] {
        for (int i = 0; i < 500; ++i) sounds.PlayPromptSound(SoundPath::Finish);
    });
    for (int i = 0; i < 50; ++i) sounds.Toggle();
    worker.join();
    for (const auto& e : m_log.Events())
        EXPECT_TRUE(e == "wave:sound/finishsound.wav" || e.rfind("button-sounds:", 0) == 0 ||
                    e.rfind("check:", 0) == 0)
            << e;
}

}  // namespace
