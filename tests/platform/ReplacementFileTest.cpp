#include "platform/ReplacementFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDirectory.h"

namespace {

using Bytes = std::vector<uint8_t>;

size_t EntriesIn(const TempDirectory& dir) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++n;
    return n;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

// Until Commit the target keeps its old contents; afterwards it has the new ones and
// its permission bits, and no temporary file is left.
TEST(ReplacementFileTest, CommitReplacesKeepingThePermissionBits) {
    struct Row {
        bool existing;
        mode_t mode;   // of the existing target
        mode_t umask;  // of the process, for a new target
        mode_t expected;
    };
    const Row rows[] = {
        {true, 0640, 022, 0640}, {true, 0604, 077, 0604}, {false, 0, 022, 0644}, {false, 0, 027, 0640}};
    for (const Row& row : rows) {
        TempDirectory dir;
        const std::string target = dir.file("t.bin");
        if (row.existing) {
            dir.Write("t.bin", {1, 2, 3});
            chmod(target.c_str(), row.mode);
        }
        const mode_t oldMask = umask(row.umask);
        ReplacementFile replacement;
        ASSERT_TRUE(replacement.Create(target));
        const Bytes data = PatternBytes(5000);
        ASSERT_TRUE(replacement.file().WriteAt(0, data.data(), data.size()));
        if (row.existing) {
            EXPECT_EQ(ReadBytes(target), (Bytes{1, 2, 3}));
        }
        EXPECT_EQ(EntriesIn(dir), row.existing ? 2u : 1u);
        EXPECT_TRUE(replacement.Commit());
        umask(oldMask);
        EXPECT_EQ(ReadBytes(target), data);
        EXPECT_EQ(ModeOf(target), row.expected) << std::oct << row.mode << " " << row.umask;
        EXPECT_EQ(EntriesIn(dir), 1u);
    }
}

TEST(ReplacementFileTest, DiscardLeavesTheTargetAndNoTemporaryFile) {
    TempDirectory dir;
    const std::string target = dir.Write("t.bin", {9});
    {
        ReplacementFile replacement;
        ASSERT_TRUE(replacement.Create(target));
        const uint8_t b = 1;
        ASSERT_TRUE(replacement.file().WriteAt(0, &b, 1));
    }  // destroyed without Commit
    EXPECT_EQ(ReadBytes(target), Bytes{9});
    EXPECT_EQ(EntriesIn(dir), 1u);
}

// A link stays a link; the file it names gets the contents.
TEST(ReplacementFileTest, LinkIsFollowed) {
    TempDirectory dir;
    const std::string real = dir.Write("real.bin", {1});
    std::filesystem::create_symlink(real, dir.file("link.bin"));
    ReplacementFile replacement;
    ASSERT_TRUE(replacement.Create(dir.file("link.bin")));
    const uint8_t b = 2;
    ASSERT_TRUE(replacement.file().WriteAt(0, &b, 1));
    ASSERT_TRUE(replacement.Commit());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.bin")));
    EXPECT_EQ(ReadBytes(real), Bytes{2});
}

TEST(ReplacementFileTest, MissingDirectoryFailsAtCreate) {
    TempDirectory dir;
    ReplacementFile replacement;
    EXPECT_FALSE(replacement.Create(dir.file("none/t.bin")));
    EXPECT_FALSE(replacement.Commit());
    EXPECT_EQ(EntriesIn(dir), 0u);
}

// Something other than a regular file in the target's place is never renamed over,
// through a link neither.
TEST(ReplacementFileTest, NonRegularTargetsAreRefusedAtCreate) {
    TempDirectory dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_symlink(dir.file("fifo"), dir.file("to-fifo"));
    const struct {
        std::string target;
        int error;
    } rows[] = {{dir.file("fifo"), EINVAL}, {dir.file("sub"), EISDIR}, {dir.file("to-fifo"), EINVAL}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.target);
        ReplacementFile replacement;
        EXPECT_FALSE(replacement.Create(row.target));
        EXPECT_EQ(errno, row.error);
    }
    EXPECT_EQ(EntriesIn(dir), 3u);
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("fifo")));
}

}  // namespace
