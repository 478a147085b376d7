#include "platform/File.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDirectory.h"

namespace {

TEST(FileTest, OpenModesTable) {
    struct Case {
        File::Mode mode;
        bool existing;
        bool opens;
        int64_t sizeAfter;  // -1: not applicable
    };
    const Case cases[] = {
        {File::Mode::ReadOnly, false, false, -1},      {File::Mode::ReadOnly, true, true, 5},
        {File::Mode::ReadWrite, false, false, -1},     {File::Mode::ReadWrite, true, true, 5},
        {File::Mode::CreateReadWrite, false, true, 0}, {File::Mode::CreateReadWrite, true, true, 0},
        {File::Mode::OpenOrCreate, false, true, 0},    {File::Mode::OpenOrCreate, true, true, 5},
    };
    for (const Case& c : cases) {
        TempDirectory dir;
        std::string path = dir.file("f.bin");
        if (c.existing) dir.Write("f.bin", {1, 2, 3, 4, 5});
        File f;
        EXPECT_EQ(f.Open(path, c.mode), c.opens) << static_cast<int>(c.mode) << " existing=" << c.existing;
        EXPECT_EQ(f.IsOpen(), c.opens);
        if (c.opens) {
            EXPECT_EQ(f.Size(), c.sizeAfter);
            EXPECT_EQ(f.Path(), path);
        } else {
            EXPECT_EQ(errno, ENOENT);
            EXPECT_TRUE(f.Path().empty());
        }
    }
}

TEST(FileTest, ReadOnlyRefusesWrites) {
    TempDirectory dir;
    std::string path = dir.Write("ro.bin", {9, 9, 9});
    File f;
    ASSERT_TRUE(f.Open(path, File::Mode::ReadOnly));
    uint8_t b = 1;
    EXPECT_FALSE(f.WriteAt(0, &b, 1));
    EXPECT_FALSE(f.Truncate(0));
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{9, 9, 9}));
}

TEST(FileTest, DirectoryIsRefused) {
    TempDirectory dir;
    File f;
    for (File::Mode m : {File::Mode::ReadOnly, File::Mode::ReadWrite, File::Mode::CreateReadWrite}) {
        EXPECT_FALSE(f.Open(dir.path().string(), m));
        EXPECT_EQ(errno, EISDIR);
    }
}

TEST(FileTest, ShortReadOnlyAtEnd) {
    TempDirectory dir;
    auto bytes = PatternBytes(1000);
    std::string path = dir.Write("r.bin", bytes);
    File f;
    ASSERT_TRUE(f.Open(path, File::Mode::ReadOnly));
    struct Case {
        uint64_t offset;
        size_t count;
        int64_t expected;
    };
    const Case cases[] = {{0, 1000, 1000}, {0, 4096, 1000}, {990, 20, 10}, {999, 1, 1},
                          {1000, 10, 0},   {5000, 10, 0},   {0, 0, 0}};
    for (const Case& c : cases) {
        std::vector<uint8_t> buf(c.count + 1, 0xEE);
        ASSERT_EQ(f.ReadAt(c.offset, buf.data(), c.count), c.expected) << c.offset << "+" << c.count;
        for (int64_t i = 0; i < c.expected; ++i) EXPECT_EQ(buf[i], bytes[c.offset + i]);
        // Nothing beyond what was read is touched.
        for (size_t i = static_cast<size_t>(c.expected); i < buf.size(); ++i) ASSERT_EQ(buf[i], 0xEE);
    }
}

TEST(FileTest, WriteAtExtendsAndLeavesOtherBytes) {
    TempDirectory dir;
    std::string path = dir.file("w.bin");
    File f;
    ASSERT_TRUE(f.Open(path, File::Mode::CreateReadWrite));
    const uint8_t a[] = {0xAA, 0xBB};
    ASSERT_TRUE(f.WriteAt(0, a, 2));
    const uint8_t c = 0xCC;
    ASSERT_TRUE(f.WriteAt(5, &c, 1));
    EXPECT_EQ(f.Size(), 6);
    ASSERT_TRUE(f.WriteAt(1, &c, 1));
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{0xAA, 0xCC, 0, 0, 0, 0xCC}));
    ASSERT_TRUE(f.Truncate(3));
    EXPECT_EQ(f.Size(), 3);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{0xAA, 0xCC, 0}));
}

TEST(FileTest, ClosedFileFailsEveryCall) {
    File f;
    uint8_t b = 0;
    EXPECT_EQ(f.ReadAt(0, &b, 1), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(f.WriteAt(0, &b, 1));
    EXPECT_EQ(f.Size(), -1);
    EXPECT_FALSE(f.Truncate(0));
    EXPECT_FALSE(f.LockExclusive());
    EXPECT_FALSE(f.IsRegular());
}

TEST(FileTest, MoveTransfersDescriptorAndPath) {
    TempDirectory dir;
    std::string path = dir.Write("m.bin", {7});
    File a;
    ASSERT_TRUE(a.Open(path, File::Mode::ReadOnly));
    int fd = a.Descriptor();
    File b(std::move(a));
    EXPECT_FALSE(a.IsOpen());
    EXPECT_TRUE(a.Path().empty());
    EXPECT_EQ(b.Descriptor(), fd);
    EXPECT_EQ(b.Path(), path);
    File c;
    ASSERT_TRUE(c.Open(path, File::Mode::ReadOnly));
    int oldFd = c.Descriptor();
    c = std::move(b);
    EXPECT_EQ(c.Descriptor(), fd);
    // The descriptor c held before is closed by the assignment.
    EXPECT_EQ(::fcntl(oldFd, F_GETFD), -1);
    uint8_t v = 0;
    EXPECT_EQ(c.ReadAt(0, &v, 1), 1);
    EXPECT_EQ(v, 7);
}

TEST(FileTest, ExclusiveLockKeepsSecondOpenerOut) {
    TempDirectory dir;
    std::string path = dir.Write("lock.bin", {1});
    File first, second;
    ASSERT_TRUE(first.Open(path, File::Mode::ReadWrite));
    ASSERT_TRUE(second.Open(path, File::Mode::ReadWrite));
    EXPECT_TRUE(first.LockExclusive());
    EXPECT_FALSE(second.LockExclusive());
    EXPECT_EQ(errno, EWOULDBLOCK);
    first.Close();  // closing releases the lock
    EXPECT_TRUE(second.LockExclusive());
}

// The name gets a new empty file, with the old one's permission bits and the
// lock; the old open keeps its bytes until it closes; no temporary stays behind.
TEST(FileTest, SwapForEmptyPutsALockedEmptyFileUnderTheName) {
    TempDirectory dir;
    const std::vector<uint8_t> bytes{1, 2, 3, 4, 5};
    const std::string path = dir.Write("work.dll", bytes);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    File file;
    ASSERT_TRUE(file.Open(path, File::Mode::ReadWrite));
    ASSERT_TRUE(file.LockExclusive());
    File previous;
    ASSERT_TRUE(file.SwapForEmpty(previous));

    EXPECT_EQ(file.Path(), path);
    EXPECT_EQ(file.Size(), 0);
    EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>{});
    struct stat named {};
    struct stat held {};
    ASSERT_EQ(::stat(path.c_str(), &named), 0);
    EXPECT_EQ(named.st_mode & 07777, 0640u);
    ASSERT_EQ(::fstat(file.Descriptor(), &held), 0);
    EXPECT_EQ(held.st_ino, named.st_ino);
    std::vector<uint8_t> old(5);
    EXPECT_EQ(previous.ReadAt(0, old.data(), old.size()), 5);
    EXPECT_EQ(old, bytes);
    previous.Close();
    File other;
    ASSERT_TRUE(other.Open(path, File::Mode::ReadWrite));
    EXPECT_FALSE(other.LockExclusive());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(FileTest, SwapForEmptyFailuresChangeNothing) {
    TempDirectory closedDir;
    File closed;
    File previous;
    EXPECT_FALSE(closed.SwapForEmpty(previous));
    EXPECT_EQ(errno, EBADF);

    // The directory is gone: no new file can be made beside the old one.
    const std::string sub = closedDir.file("gone");
    std::filesystem::create_directory(sub);
    const std::string path = sub + "/work.dll";
    {
        TempDirectory scratch;
        std::filesystem::copy_file(scratch.Write("x", {7, 8}), path);
    }
    File file;
    ASSERT_TRUE(file.Open(path, File::Mode::ReadWrite));
    std::filesystem::remove_all(sub);
    EXPECT_FALSE(file.SwapForEmpty(previous));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(previous.IsOpen());
    EXPECT_EQ(file.Size(), 2);
}

// Fails reads of files named "*.fail" from offset 4096 on, and every write to them.
int FailAfter4096(const File& file, uint64_t offset, size_t count, bool write) {
    if (file.Path().size() < 5 || file.Path().compare(file.Path().size() - 5, 5, ".fail") != 0) return 0;
    if (write) return EROFS;
    return offset + count > 4096 ? EIO : 0;
}

struct HookGuard {
    explicit HookGuard(File::FaultHook hook) { File::SetFaultHook(hook); }
    ~HookGuard() { File::SetFaultHook(nullptr); }
};

TEST(FileTest, FaultHookFailsChosenCallsOnly) {
    TempDirectory dir;
    std::string failing = dir.Write("a.fail", PatternBytes(8192));
    std::string fine = dir.Write("b.bin", PatternBytes(8192));
    HookGuard guard(FailAfter4096);
    File f, g;
    ASSERT_TRUE(f.Open(failing, File::Mode::ReadWrite));
    ASSERT_TRUE(g.Open(fine, File::Mode::ReadWrite));
    std::vector<uint8_t> buf(8192);
    EXPECT_EQ(f.ReadAt(0, buf.data(), 4096), 4096);
    EXPECT_EQ(f.ReadAt(4000, buf.data(), 200), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_FALSE(f.WriteAt(0, buf.data(), 1));
    EXPECT_EQ(errno, EROFS);
    EXPECT_EQ(g.ReadAt(0, buf.data(), 8192), 8192);
    EXPECT_EQ(f.CopyTo(g, 0, 8192), -1);
}

TEST(FileTest, CopyToCopiesAtSameOffset) {
    TempDirectory dir;
    auto bytes = PatternBytes(20000, 3);
    std::string src = dir.Write("s.bin", bytes);
    File s, d;
    ASSERT_TRUE(s.Open(src, File::Mode::ReadOnly));
    ASSERT_TRUE(d.Open(dir.file("d.bin"), File::Mode::CreateReadWrite));
    uint64_t offset = 100;
    while (offset < 20000) {
        int64_t n = s.CopyTo(d, offset, 8192);
        ASSERT_GT(n, 0);
        offset += static_cast<uint64_t>(n);
    }
    EXPECT_EQ(s.CopyTo(d, 20000, 8192), 0);
    auto out = ReadBytes(dir.file("d.bin"));
    ASSERT_EQ(out.size(), 20000u);
    for (size_t i = 0; i < 100; ++i) ASSERT_EQ(out[i], 0);
    for (size_t i = 100; i < 20000; ++i) ASSERT_EQ(out[i], bytes[i]) << i;
}

TEST(FileTest, NextDataSkipsHoles) {
    TempDirectory dir;
    File f;
    ASSERT_TRUE(f.Open(dir.file("sparse.bin"), File::Mode::CreateReadWrite));
    const uint64_t mib = 1 << 20;
    std::vector<uint8_t> block(4096, 0x5A);
    ASSERT_TRUE(f.WriteAt(4 * mib, block.data(), block.size()));
    ASSERT_TRUE(f.Truncate(8 * mib));
    EXPECT_TRUE(f.IsRegular());
    uint64_t start = 0, end = 0;
    ASSERT_TRUE(f.NextData(0, start, end));
    // Without hole support the whole file counts as data; with it, the one block.
    EXPECT_LE(start, 4 * mib);
    EXPECT_GE(end, 4 * mib + 4096);
    if (start == 4 * mib) {
        EXPECT_EQ(end, 4 * mib + 4096);
        EXPECT_FALSE(f.NextData(end, start, end));
    }
    EXPECT_FALSE(f.NextData(8 * mib, start, end));
}

}  // namespace
