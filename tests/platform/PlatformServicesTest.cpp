#include "platform/CurrentDirectory.h"
#include "platform/DeviceMonitor.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <poll.h>
#include <unistd.h>

#include "TempDirectory.h"

namespace {

// Restores the current directory after a test moved it.
class CurrentDirectoryTest : public ::testing::Test {
protected:
    CurrentDirectoryTest() : m_saved(std::filesystem::current_path()) {}
    ~CurrentDirectoryTest() override { std::filesystem::current_path(m_saved); }
    std::filesystem::path m_saved;
};

TEST_F(CurrentDirectoryTest, IsTheCurrentDirectoryWithATrailingSlash) {
    TempDirectory dir;
    const auto real = std::filesystem::canonical(dir.path());
    std::filesystem::current_path(real);
    EXPECT_EQ(CurrentDirectory(), real.string() + "/");
}

TEST_F(CurrentDirectoryTest, RootKeepsOneSlash) {
    std::filesystem::current_path("/");
    EXPECT_EQ(CurrentDirectory(), "/");
}

TEST_F(CurrentDirectoryTest, LongPathIsNotCut) {
    TempDirectory dir;
    auto deep = std::filesystem::canonical(dir.path());
    while (deep.string().size() < 1500) deep /= std::string(60, 'd');
    std::filesystem::create_directories(deep);
    std::filesystem::current_path(deep);
    EXPECT_EQ(CurrentDirectory(), deep.string() + "/");
}

TEST_F(CurrentDirectoryTest, RemovedDirectoryFallsBackToRelative) {
    TempDirectory dir;
    const auto gone = dir.path() / "gone";
    std::filesystem::create_directory(gone);
    std::filesystem::current_path(gone);
    std::filesystem::remove(gone);
    EXPECT_EQ(CurrentDirectory(), "./");
}

TEST(DeviceMonitorTest, InactiveMonitorReportsNothing) {
    DeviceMonitor monitor;
    EXPECT_FALSE(monitor.IsActive());
    EXPECT_EQ(monitor.Descriptor(), -1);
    EXPECT_EQ(monitor.Drain(), 0);
}

TEST(DeviceMonitorTest, DrainNeverBlocks) {
    DeviceMonitor monitor;
    if (!monitor.Start()) {
#if defined(FLASH_HAVE_UDEV)
        GTEST_SKIP() << "no udev netlink access here";
#else
        EXPECT_EQ(monitor.Descriptor(), -1);
        return;
#endif
    }
    ASSERT_GE(monitor.Descriptor(), 0);
    EXPECT_TRUE(monitor.Start());  // starting again keeps the one monitor
    // Whatever waits is drained; then the socket is empty and Drain returns at once.
    monitor.Drain();
    pollfd pfd{monitor.Descriptor(), POLLIN, 0};
    EXPECT_EQ(poll(&pfd, 1, 0), 0);
    EXPECT_EQ(monitor.Drain(), 0);
    monitor.Stop();
    EXPECT_FALSE(monitor.IsActive());
    EXPECT_EQ(monitor.Descriptor(), -1);
    EXPECT_EQ(monitor.Drain(), 0);
}

}  // namespace
