#include "image/ImageFileCopy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <vector>

#include "image/ImageTexts.h"
#include "platform/File.h"
#include "support/TempDirectory.h"

namespace {

struct HookGuard {
    explicit HookGuard(File::FaultHook hook) { File::SetFaultHook(hook); }
    ~HookGuard() { File::SetFaultHook(nullptr); }
};

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(ImageFileCopyTest, CopiesEveryLengthByteForByte) {
    // Around the logical block, the pass buffer and the checksum piece.
    const size_t lengths[] = {0,
                              1,
                              335,
                              336,
                              337,
                              8191,
                              8192,
                              8193,
                              kPassBufferBytes - 1,
                              kPassBufferBytes,
                              kPassBufferBytes + 1,
                              3 * kPassBufferBytes + 8192 + 5};
    for (size_t n : lengths) {
        TempDirectory dir;
        auto bytes = PatternBytes(n, static_cast<uint8_t>(n));
        std::string src = dir.Write("src.bin", bytes);
        File s, d;
        ASSERT_TRUE(s.Open(src, File::Mode::ReadOnly));
        ASSERT_TRUE(d.Open(dir.file("work.dll"), File::Mode::CreateReadWrite));
        CopyOutcome out = CopyImageFile(s, d);
        ASSERT_EQ(out.status, CopyStatus::Ok) << n;
        EXPECT_EQ(out.bytes, n);
        EXPECT_EQ(d.Size(), static_cast<int64_t>(n));
        EXPECT_EQ(ReadBytes(dir.file("work.dll")), bytes) << n;
        uint64_t sum = 1;
        ASSERT_TRUE(SumImageFile(d, n, sum));
        EXPECT_EQ(sum, ByteSum(bytes.data(), bytes.size())) << n;
    }
}

TEST(ImageFileCopyTest, SparseSourceStaysSparseAndSumsItsData) {
    TempDirectory dir;
    const uint64_t mib = 1 << 20;
    std::string src = dir.file("sparse.bin");
    {
        File f;
        ASSERT_TRUE(f.Open(src, File::Mode::CreateReadWrite));
        std::vector<uint8_t> a(5000, 0x11), b(3, 0xFE);
        ASSERT_TRUE(f.WriteAt(0, a.data(), a.size()));
        ASSERT_TRUE(f.WriteAt(64 * mib + 7, b.data(), b.size()));
        ASSERT_TRUE(f.Truncate(256 * mib));  // ends in a hole
    }
    File s, d;
    ASSERT_TRUE(s.Open(src, File::Mode::ReadOnly));
    ASSERT_TRUE(d.Open(dir.file("work.dll"), File::Mode::CreateReadWrite));
    CopyOutcome out = CopyImageFile(s, d);
    ASSERT_EQ(out.status, CopyStatus::Ok);
    EXPECT_EQ(out.bytes, 256 * mib);
    EXPECT_EQ(d.Size(), static_cast<int64_t>(256 * mib));
    struct stat st {};
    ASSERT_EQ(::fstat(d.Descriptor(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, static_cast<long long>(16 * mib)) << "holes were written out";
    uint8_t probe[8] = {};
    ASSERT_EQ(d.ReadAt(64 * mib + 5, probe, 8), 8);
    EXPECT_EQ(std::vector<uint8_t>(probe, probe + 8),
              (std::vector<uint8_t>{0, 0, 0xFE, 0xFE, 0xFE, 0, 0, 0}));
    ASSERT_EQ(d.ReadAt(4998, probe, 4), 4);
    EXPECT_EQ(std::vector<uint8_t>(probe, probe + 4), (std::vector<uint8_t>{0x11, 0x11, 0, 0}));
    uint64_t sum = 0;
    ASSERT_TRUE(SumImageFile(d, 256 * mib, sum));
    EXPECT_EQ(sum, 5000u * 0x11 + 3u * 0xFE);
}

TEST(ImageFileCopyTest, LengthBoundaryOfThirtyTwoBits) {
    TempDirectory dir;
    struct Case {
        uint64_t size;
        CopyStatus status;
    };
    const Case cases[] = {{0xFFFFFFFFull, CopyStatus::Ok}, {0x100000000ull, CopyStatus::TooLarge}};
    for (const Case& c : cases) {
        std::string src = dir.file("big.bin");
        {
            File f;
            ASSERT_TRUE(f.Open(src, File::Mode::CreateReadWrite));
            ASSERT_TRUE(f.Truncate(c.size));
        }
        File s, d;
        ASSERT_TRUE(s.Open(src, File::Mode::ReadOnly));
        ASSERT_TRUE(d.Open(dir.file("work.dll"), File::Mode::CreateReadWrite));
        CopyOutcome out = CopyImageFile(s, d);
        EXPECT_EQ(out.status, c.status) << c.size;
        if (c.status == CopyStatus::Ok) {
            EXPECT_EQ(d.Size(), static_cast<int64_t>(c.size));
            uint64_t sum = 1;
            EXPECT_TRUE(SumImageFile(d, c.size, sum));
            EXPECT_EQ(sum, 0u);
        } else {
            EXPECT_EQ(d.Size(), 0) << "nothing is copied before the refusal";
        }
        d.Close();
        std::filesystem::remove(dir.file("work.dll"));
    }
}

int FailSourceReadsPast8192(const File& file, uint64_t offset, size_t count, bool write) {
    if (!write && EndsWith(file.Path(), "src.bin") && offset + count > 8192) return EIO;
    return 0;
}

int FailWorkWrites(const File& file, uint64_t, size_t, bool write) {
    return write && EndsWith(file.Path(), "work.dll") ? ENOSPC : 0;
}

int FailWorkReadsPast1000(const File& file, uint64_t offset, size_t count, bool write) {
    return !write && EndsWith(file.Path(), "work.dll") && offset + count > 1000 ? EIO : 0;
}

TEST(ImageFileCopyTest, FailuresMidWayAreReported) {
    TempDirectory dir;
    auto bytes = PatternBytes(100000);
    std::string src = dir.Write("src.bin", bytes);
    for (File::FaultHook hook : {FailSourceReadsPast8192, FailWorkWrites}) {
        HookGuard guard(hook);
        File s, d;
        ASSERT_TRUE(s.Open(src, File::Mode::ReadOnly));
        ASSERT_TRUE(d.Open(dir.file("work.dll"), File::Mode::CreateReadWrite));
        EXPECT_NE(CopyImageFile(s, d).status, CopyStatus::Ok);
    }
    EXPECT_EQ(ReadBytes(src), bytes);

    File s, d;
    ASSERT_TRUE(s.Open(src, File::Mode::ReadOnly));
    ASSERT_TRUE(d.Open(dir.file("work.dll"), File::Mode::CreateReadWrite));
    ASSERT_EQ(CopyImageFile(s, d).status, CopyStatus::Ok);
    HookGuard guard(FailWorkReadsPast1000);
    uint64_t sum = 0;
    EXPECT_FALSE(SumImageFile(d, bytes.size(), sum));
}

TEST(ImageFileCopyTest, SumFailsWhenFileIsShorterThanLength) {
    TempDirectory dir;
    std::string path = dir.Write("short.bin", PatternBytes(500));
    File f;
    ASSERT_TRUE(f.Open(path, File::Mode::ReadOnly));
    uint64_t sum = 0;
    EXPECT_TRUE(SumImageFile(f, 500, sum));
    EXPECT_FALSE(SumImageFile(f, 501, sum));
}

TEST(ImageFileCopyTest, PipeIsRefusedNotCopiedShort) {
    TempDirectory dir;
    std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    File keeper;  // read-write open of a FIFO does not wait for a partner
    ASSERT_TRUE(keeper.Open(fifo, File::Mode::ReadWrite));
    const char data[] = "0123456789";
    ASSERT_EQ(::write(keeper.Descriptor(), data, 10), 10);
    File s, d;
    ASSERT_TRUE(s.Open(fifo, File::Mode::ReadOnly));
    ASSERT_TRUE(d.Open(dir.file("work.dll"), File::Mode::CreateReadWrite));
    // A pipe has no offsets: reading it at one fails, and the image is refused.
    EXPECT_EQ(CopyImageFile(s, d).status, CopyStatus::ReadFailed);
}

}  // namespace

// The copy that sums behind itself: the same bytes as the plain copy, and the
// sum of exactly what landed in the destination, across the kernel pieces the
// summing thread follows (8 MiB) and the read-back buffer.
TEST(ImageFileCopyTest, CopyAndSumGivesTheSumOfTheCopy) {
    const size_t mib = 1 << 20;
    const size_t lengths[] = {0,           1,       337,         kPassBufferBytes + 1,
                              8 * mib - 1, 8 * mib, 8 * mib + 1, 17 * mib + 3};
    for (size_t n : lengths) {
        SCOPED_TRACE(n);
        TempDirectory dir;
        auto bytes = PatternBytes(n, static_cast<uint8_t>(n * 3));
        std::string src = dir.Write("src.bin", bytes);
        File s, d;
        ASSERT_TRUE(s.Open(src, File::Mode::ReadOnly));
        ASSERT_TRUE(d.Open(dir.file("work.dll"), File::Mode::CreateReadWrite));
        uint64_t sum = 1;
        CopyOutcome out = CopyAndSumImageFile(s, d, sum);
        ASSERT_EQ(out.status, CopyStatus::Ok);
        EXPECT_EQ(out.bytes, n);
        EXPECT_EQ(sum, ByteSum(bytes.data(), bytes.size()));
        EXPECT_EQ(ReadBytes(dir.file("work.dll")), bytes);
    }
}

TEST(ImageFileCopyTest, CopyAndSumAddsNothingForHoles) {
    TempDirectory dir;
    const uint64_t mib = 1 << 20;
    std::string src = dir.file("sparse.bin");
    {
        File f;
        ASSERT_TRUE(f.Open(src, File::Mode::CreateReadWrite));
        std::vector<uint8_t> a(9 * mib, 0x21), b(5, 0xF0);
        ASSERT_TRUE(f.WriteAt(0, a.data(), a.size()));
        ASSERT_TRUE(f.WriteAt(40 * mib + 1, b.data(), b.size()));
        ASSERT_TRUE(f.Truncate(64 * mib));
    }
    File s, d;
    ASSERT_TRUE(s.Open(src, File::Mode::ReadOnly));
    ASSERT_TRUE(d.Open(dir.file("work.dll"), File::Mode::CreateReadWrite));
    uint64_t sum = 0;
    CopyOutcome out = CopyAndSumImageFile(s, d, sum);
    ASSERT_EQ(out.status, CopyStatus::Ok);
    EXPECT_EQ(out.bytes, 64 * mib);
    EXPECT_EQ(sum, 9 * mib * 0x21 + 5u * 0xF0);
}

TEST(ImageFileCopyTest, CopyAndSumFailsWhenTheReadBackFails) {
    TempDirectory dir;
    std::string src = dir.Write("src.bin", PatternBytes(100000));
    File s, d;
    ASSERT_TRUE(s.Open(src, File::Mode::ReadOnly));
    ASSERT_TRUE(d.Open(dir.file("work.dll"), File::Mode::CreateReadWrite));
    HookGuard guard(FailWorkReadsPast1000);
    uint64_t sum = 0;
    EXPECT_EQ(CopyAndSumImageFile(s, d, sum).status, CopyStatus::ReadFailed);
}
