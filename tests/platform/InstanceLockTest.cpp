#include "platform/InstanceLock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempDirectory.h"

namespace {

using Result = InstanceLock::Result;
const std::string kOwn = "XJQT_Tarlo Flash编程器.exe";
const std::string kSibling = "XJQT_Quenby Flash编程器.exe";

// A child process that takes a lock and then waits until it is killed.
class LockHolder {
public:
    LockHolder(const std::string& name, const std::string& dir) {
        int ready[2], hold[2];
        if (pipe(ready) != 0 || pipe(hold) != 0) std::abort();
        m_pid = fork();
        if (m_pid == 0) {
            close(ready[0]);
            close(hold[1]);
            InstanceLock lock(name, dir);
            const char result = lock.TryAcquire() == Result::Acquired ? 'A' : 'F';
            if (write(ready[1], &result, 1) != 1) _exit(3);
            char c;
            while (read(hold[0], &c, 1) != 0) {
            }
            _exit(0);  // parent closed the pipe: end normally (the kernel drops the lock)
        }
        close(ready[1]);
        close(hold[0]);
        m_hold = hold[1];
        char c = 0;
        m_acquired = read(ready[0], &c, 1) == 1 && c == 'A';
        close(ready[0]);
    }
    ~LockHolder() { Kill(); }
    bool acquired() const { return m_acquired; }
    // The holder crashes: no chance to release anything.
    void Kill() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        close(m_hold);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_hold = -1;
    bool m_acquired = false;
};

TEST(InstanceLockTest, SecondOpenOfTheNameIsRefusedAndTheFirstKeepsIt) {
    TempDirectory dir;
    InstanceLock first(kOwn, dir.path().string());
    ASSERT_EQ(first.TryAcquire(), Result::Acquired);
    EXPECT_TRUE(first.IsHeld());
    EXPECT_EQ(first.Path(), dir.path().string() + "/" + kOwn + ".lock");
    EXPECT_TRUE(std::filesystem::exists(first.Path()));

    InstanceLock second(kOwn, dir.path().string());
    EXPECT_EQ(second.TryAcquire(), Result::HeldElsewhere);
    EXPECT_FALSE(second.IsHeld());
    EXPECT_TRUE(first.IsHeld());
    EXPECT_EQ(first.TryAcquire(), Result::Acquired);  // asking again changes nothing

    // Another name is independent.
    InstanceLock sibling(kSibling, dir.path().string());
    EXPECT_EQ(sibling.TryAcquire(), Result::Acquired);

    first.Release();
    EXPECT_FALSE(first.IsHeld());
    EXPECT_EQ(second.TryAcquire(), Result::Acquired);
}

TEST(InstanceLockTest, SharedHoldersExcludeOnlyTheExclusiveOne) {
    // first holder's mode, second's mode, what the second gets.
    struct Row {
        bool firstShared;
        bool secondShared;
        Result expected;
    };
    const Row rows[] = {
        {true, true, Result::Acquired},        // two command-line jobs
        {true, false, Result::HeldElsewhere},  // the window while a job runs
        {false, true, Result::HeldElsewhere},  // a job while the window runs
        {false, false, Result::HeldElsewhere},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.firstShared) + std::to_string(row.secondShared));
        TempDirectory dir;
        InstanceLock first(kOwn, dir.path().string());
        ASSERT_EQ(row.firstShared ? first.TryAcquireShared() : first.TryAcquire(), Result::Acquired);
        InstanceLock second(kOwn, dir.path().string());
        EXPECT_EQ(row.secondShared ? second.TryAcquireShared() : second.TryAcquire(), row.expected);
        EXPECT_EQ(second.IsHeld(), row.expected == Result::Acquired);
        // Once the first lets go, the second gets the name in either mode.
        first.Release();
        EXPECT_EQ(row.secondShared ? second.TryAcquireShared() : second.TryAcquire(), Result::Acquired);
    }
}

TEST(InstanceLockTest, DestructionReleases) {
    TempDirectory dir;
    {
        InstanceLock lock(kOwn, dir.path().string());
        ASSERT_EQ(lock.TryAcquire(), Result::Acquired);
    }
    InstanceLock again(kOwn, dir.path().string());
    EXPECT_EQ(again.TryAcquire(), Result::Acquired);
}

TEST(InstanceLockTest, AnotherProcessHoldingTheNameIsSeenAndACrashFreesIt) {
    TempDirectory dir;
    LockHolder holder(kOwn, dir.path().string());
    ASSERT_TRUE(holder.acquired());
    InstanceLock lock(kOwn, dir.path().string());
    EXPECT_EQ(lock.TryAcquire(), Result::HeldElsewhere);
    holder.Kill();
    EXPECT_EQ(lock.TryAcquire(), Result::Acquired);
}

TEST(InstanceLockTest, ChildProcessFindsTheNameHeld) {
    TempDirectory dir;
    InstanceLock lock(kOwn, dir.path().string());
    ASSERT_EQ(lock.TryAcquire(), Result::Acquired);
    LockHolder child(kOwn, dir.path().string());
    EXPECT_FALSE(child.acquired());
}

TEST(InstanceLockTest, UnusableDirectoryFails) {
    InstanceLock lock(kOwn, "/nonexistent-flash-test-dir");
    EXPECT_EQ(lock.TryAcquire(), Result::Failed);
    EXPECT_FALSE(lock.IsHeld());
}

TEST(InstanceLockTest, LockFileThatIsASymlinkIsRefused) {
    TempDirectory dir;
    std::filesystem::create_symlink(dir.file("target"), dir.file(kOwn + ".lock"));
    InstanceLock lock(kOwn, dir.path().string());
    EXPECT_EQ(lock.TryAcquire(), Result::Failed);
    EXPECT_FALSE(dir.Exists("target"));
}

class RuntimeDirectoryTest : public ::testing::Test {
protected:
    RuntimeDirectoryTest() {
        if (const char* v = std::getenv("XDG_RUNTIME_DIR")) m_saved = v;
    }
    ~RuntimeDirectoryTest() override {
        if (m_saved)
            setenv("XDG_RUNTIME_DIR", m_saved->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    std::optional<std::string> m_saved;
};

TEST_F(RuntimeDirectoryTest, UsesXdgRuntimeDir) {
    TempDirectory dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(InstanceLock::RuntimeDirectory(), dir.path().string());
    InstanceLock lock(kOwn);
    EXPECT_EQ(lock.Path(), dir.path().string() + "/" + kOwn + ".lock");
    EXPECT_EQ(lock.TryAcquire(), Result::Acquired);
}

TEST_F(RuntimeDirectoryTest, FallsBackToAPrivateTmpDirectory) {
    const std::string expected = "/tmp/xjqt-" + std::to_string(getuid());
    for (const char* xdg :
         {static_cast<const char*>(nullptr), "", "relative/dir", "/nonexistent-flash-test-dir"}) {
        if (xdg)
            setenv("XDG_RUNTIME_DIR", xdg, 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        EXPECT_EQ(InstanceLock::RuntimeDirectory(), expected) << (xdg ? xdg : "(unset)");
    }
    struct stat st {};
    ASSERT_EQ(lstat(expected.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, getuid());
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
