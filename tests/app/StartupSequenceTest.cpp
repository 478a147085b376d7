#include "app/StartupSequence.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <sys/stat.h>

#include "BlockingGuard.h"
#include "RecordingPorts.h"
#include "TempDirectory.h"
#include "app/DriverLibraryLoader.h"
#include "app/SystemInstanceLocks.h"
#include "device/ProductDataFile.h"
#include "device/ProductDataScramble.h"

namespace {

using Events = std::vector<std::string>;

class FakeLocks : public InstanceLocks {
public:
    explicit FakeLocks(EventLog& log) : m_log(log) {}
    bool IsHeldElsewhere(const std::string& name) override {
        m_log.Add("probe:" + name);
        return held.count(name) != 0;
    }
    bool Hold(const std::string& name) override {
        m_log.Add("hold:" + name);
        return held.count(name) == 0;
    }
    bool HoldInDirectory(const std::string& name, const std::string& directory) override {
        m_log.Add("hold-in:" + directory + "|" + name);
        return heldInDirectory.count(name) == 0;
    }
    std::set<std::string> held;             // names another process holds
    std::set<std::string> heldInDirectory;  // names another process holds in the work directory

private:
    EventLog& m_log;
};

class FakeLoader : public DriverLoader {
public:
    explicit FakeLoader(EventLog& log) : m_log(log) {}
    bool LoadDriver() override {
        m_log.Add("load-driver");
        return loads;
    }
    bool loads = true;

private:
    EventLog& m_log;
};

const std::string kProbe = "probe:XJQT_Quenby Flash编程器.exe";
const std::string kHold = "hold:XJQT_Tarlo Flash编程器.exe";

class StartupSequenceTest : public ::testing::Test {
protected:
    void WriteDataFile(const std::string& serial = "1234") {
        m_dir.Write("XJQT.uc", ProductDataScramble::Build(ProductDataScramble::ContentForSerial(serial)));
    }
    bool Run() {
        StartupSequence startup(m_boxes, m_locks, m_loader, m_dataFile, m_dir.dir());
        return startup.Run();
    }
    std::string HoldIn() const { return "hold-in:" + m_dir.dir() + "|XJQT_Tarlo Flash编程器.exe"; }

    TempDirectory m_dir;
    EventLog m_log;
    ScriptedMessageBoxes m_boxes{m_log};
    FakeLocks m_locks{m_log};
    FakeLoader m_loader{m_log};
    ProductDataFile m_dataFile;
};

TEST_F(StartupSequenceTest, AllChecksPassInOrderWithoutABox) {
    WriteDataFile();
    EXPECT_TRUE(Run());
    EXPECT_EQ(m_log.Events(), (Events{kProbe, kHold, HoldIn(), "load-driver"}));
    EXPECT_TRUE(m_dataFile.IsOpen());  // kept open for the serial-number command
    EXPECT_EQ(m_dataFile.ReadSerialNumber(), "1234");
}

TEST_F(StartupSequenceTest, SiblingRunningStopsBeforeTheOwnLock) {
    WriteDataFile();
    m_locks.held = {"XJQT_Quenby Flash编程器.exe"};
    EXPECT_FALSE(Run());
    EXPECT_EQ(m_log.Events(), (Events{kProbe, "box:提示|exclamation|请关闭XJQT_Quenby Flash编程器！    "}));
}

TEST_F(StartupSequenceTest, SecondInstanceStops) {
    WriteDataFile();
    m_locks.held = {"XJQT_Tarlo Flash编程器.exe"};
    EXPECT_FALSE(Run());
    EXPECT_EQ(m_log.Events(),
              (Events{kProbe, kHold, "box:提示|exclamation|XJQT_Tarlo Flash编程器已经在运行！    "}));
    EXPECT_FALSE(m_dataFile.IsOpen());
}

TEST_F(StartupSequenceTest, SecondInstanceInTheWorkDirectoryStops) {
    WriteDataFile();
    m_locks.heldInDirectory = {"XJQT_Tarlo Flash编程器.exe"};
    EXPECT_FALSE(Run());
    EXPECT_EQ(m_log.Events(), (Events{kProbe, kHold, HoldIn(),
                                      "box:提示|exclamation|XJQT_Tarlo Flash编程器已经在运行！    "}));
    EXPECT_FALSE(m_dataFile.IsOpen());
}

// A FIFO or a device as the data file never holds up the start; a file above
// 1 MiB is no data file, whatever its checksum says.
TEST_F(StartupSequenceTest, DataFileThatIsNoFileOrTooLongStopsAtOnce) {
    struct Row {
        const char* what;
        std::function<void()> prepare;
        const char* box;
    };
    const std::string path = m_dir.file("XJQT.uc");
    auto sized = [&](size_t total) {
        return [this, total] {
            m_dir.Write("XJQT.uc",
                        ProductDataScramble::Build(std::string("*1*") + std::string(total - 7, 'x')));
        };
    };
    const Row rows[] = {
        {"fifo", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }, "box:错误|stop|文件丢失！   "},
        {"link to /dev/zero", [&] { std::filesystem::create_symlink("/dev/zero", path); },
         "box:错误|stop|文件丢失！   "},
        {"one byte above 1 MiB", sized(1024 * 1024 + 1), "box:错误|stop|系统文件损坏！   "},
        {"exactly 1 MiB", sized(1024 * 1024), nullptr},
    };
    for (const Row& row : rows) {
        std::filesystem::remove(path);
        row.prepare();
        m_log.Clear();
        m_dataFile.Close();
        bool started = false;
        EXPECT_TRUE(FinishesWithoutBlocking(path, [&] { started = Run(); })) << row.what;
        EXPECT_EQ(started, row.box == nullptr) << row.what;
        EXPECT_EQ(m_log.With("box:"), row.box ? Events{row.box} : Events{}) << row.what;
    }
}

TEST_F(StartupSequenceTest, MissingDataFileStopsBeforeTheDriver) {
    EXPECT_FALSE(Run());
    EXPECT_EQ(m_log.Events(), (Events{kProbe, kHold, HoldIn(), "box:错误|stop|文件丢失！   "}));
}

TEST_F(StartupSequenceTest, DamagedDataFileStopsBeforeTheDriver) {
    struct Row {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    auto good = ProductDataScramble::Build("XJQT*1234*");
    auto flipped = good;
    flipped[3] ^= 0x40;
    const Row rows[] = {{"empty", {}}, {"three bytes", {1, 2, 3}}, {"flipped byte", flipped}};
    for (const Row& row : rows) {
        m_log.Clear();
        m_dir.Write("XJQT.uc", row.bytes);
        EXPECT_FALSE(Run()) << row.what;
        EXPECT_EQ(m_log.Events(), (Events{kProbe, kHold, HoldIn(), "box:错误|stop|系统文件损坏！   "}))
            << row.what;
        EXPECT_FALSE(m_dataFile.IsOpen()) << row.what;
    }
}

TEST_F(StartupSequenceTest, DriverThatDoesNotLoadStops) {
    WriteDataFile();
    m_loader.loads = false;
    EXPECT_FALSE(Run());
    EXPECT_EQ(m_log.Events(),
              (Events{kProbe, kHold, HoldIn(), "load-driver", "box:错误|stop|文件丢失！   "}));
    EXPECT_FALSE(m_dataFile.IsOpen());
}

TEST_F(StartupSequenceTest, DataFileIsLookedUpInTheWorkDirectory) {
    TempDirectory other;
    other.Write("XJQT.uc", ProductDataScramble::Build("*9*"));
    StartupSequence startup(m_boxes, m_locks, m_loader, m_dataFile, other.dir());
    EXPECT_TRUE(startup.Run());
    EXPECT_EQ(m_dataFile.ReadSerialNumber(), "9");
}

// The real lock files: a second start in the same directory is refused while the
// first holds its lock, and the sibling's lock is only probed.
TEST_F(StartupSequenceTest, SecondStartWithRealLocksIsRefused) {
    WriteDataFile();
    TempDirectory lockDir;
    SystemInstanceLocks firstLocks(lockDir.path().string());
    ProductDataFile firstData;
    StartupSequence first(m_boxes, firstLocks, m_loader, firstData, m_dir.dir());
    ASSERT_TRUE(first.Run());

    m_log.Clear();
    SystemInstanceLocks secondLocks(lockDir.path().string());
    ProductDataFile secondData;
    StartupSequence second(m_boxes, secondLocks, m_loader, secondData, m_dir.dir());
    EXPECT_FALSE(second.Run());
    EXPECT_EQ(m_log.Events(), (Events{"box:提示|exclamation|XJQT_Tarlo Flash编程器已经在运行！    "}));

    // The probe left the sibling's name free: the sibling can still take it.
    InstanceLock sibling("XJQT_Quenby Flash编程器.exe", lockDir.path().string());
    EXPECT_EQ(sibling.TryAcquire(), InstanceLock::Result::Acquired);
    m_log.Clear();
    SystemInstanceLocks thirdLocks(lockDir.path().string());
    StartupSequence third(m_boxes, thirdLocks, m_loader, secondData, m_dir.dir());
    EXPECT_FALSE(third.Run());
    EXPECT_EQ(m_log.Events(), (Events{"box:提示|exclamation|请关闭XJQT_Quenby Flash编程器！    "}));
}

// Two programs on one work directory, each with its own runtime directory (two
// users, two sessions): the second is refused; another work directory is not.
TEST_F(StartupSequenceTest, SecondStartInTheSameWorkDirectoryIsRefusedWhateverTheRuntimeDirectory) {
    WriteDataFile();
    TempDirectory firstRuntime, secondRuntime, thirdRuntime, otherWork;
    SystemInstanceLocks firstLocks(firstRuntime.path().string());
    ProductDataFile firstData;
    StartupSequence first(m_boxes, firstLocks, m_loader, firstData, m_dir.dir());
    ASSERT_TRUE(first.Run());

    m_log.Clear();
    SystemInstanceLocks secondLocks(secondRuntime.path().string());
    ProductDataFile secondData;
    StartupSequence second(m_boxes, secondLocks, m_loader, secondData, m_dir.dir());
    EXPECT_FALSE(second.Run());
    EXPECT_EQ(m_log.Events(), (Events{"box:提示|exclamation|XJQT_Tarlo Flash编程器已经在运行！    "}));
    EXPECT_FALSE(secondData.IsOpen());

    m_log.Clear();
    otherWork.Write("XJQT.uc", ProductDataScramble::Build("*5*"));
    SystemInstanceLocks thirdLocks(thirdRuntime.path().string());
    ProductDataFile thirdData;
    StartupSequence third(m_boxes, thirdLocks, m_loader, thirdData, otherWork.dir());
    EXPECT_TRUE(third.Run());
    EXPECT_EQ(m_log.With("box:"), Events{});
}

TEST(SystemInstanceLocksTest, UnusableLockDirectoryDoesNotStopTheProgram) {
    SystemInstanceLocks locks("/nonexistent-flash-test-dir");
    EXPECT_FALSE(locks.IsHeldElsewhere(InstanceName::Sibling));
    EXPECT_TRUE(locks.Hold(InstanceName::Own));
}

TEST(DriverLibraryLoaderTest, LoadsTheLibraryBesideTheProgram) {
    DriverLibrary library;
    DriverLibraryLoader loader(library);
    EXPECT_TRUE(loader.LoadDriver());  // the tests live beside libvelmor.so
    EXPECT_TRUE(library.IsLoaded());
}

}  // namespace
