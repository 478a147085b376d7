#include "device/ProductDataFile.h"
#include "device/ProductDataScramble.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "TempDirectory.h"

namespace {

using Bytes = std::vector<uint8_t>;
const auto& kTables = ProductDataScramble::Constants();

// The file format written out from its definition, independent of Build().
Bytes Encode(const Bytes& plain) {
    Bytes out;
    for (size_t p = 0; p < plain.size(); ++p)
        out.push_back(kTables.ScrambleTable[plain[p]] ^ kTables.ScrambleKey[p % 256]);
    return out;
}

Bytes WithChecksum(Bytes content, uint32_t sum) {
    for (int shift = 24; shift >= 0; shift -= 8) content.push_back(static_cast<uint8_t>(sum >> shift));
    return content;
}

uint32_t Sum(const Bytes& bytes) {
    uint32_t s = 0;
    for (uint8_t b : bytes) s += b;
    return s;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

class ProductDataFileTest : public ::testing::Test {
protected:
    // Writes `bytes` as the data file and opens it.
    ProductDataFile& OpenWith(const Bytes& bytes) {
        m_dir.Write(ProductDataFile::FileName, bytes);
        EXPECT_TRUE(m_file.Open(m_dir.file(ProductDataFile::FileName)));
        return m_file;
    }

    TempDirectory m_dir;
    ProductDataFile m_file;
};

TEST(ProductDataScrambleTest, TableIsAPermutationAndTheInverseUndoesIt) {
    std::set<int> seen(kTables.ScrambleTable.begin(), kTables.ScrambleTable.end());
    EXPECT_EQ(seen.size(), 256u);
    const auto& inverse = ProductDataScramble::UnscrambleTable();
    for (int i = 0; i < 256; ++i) EXPECT_EQ(inverse[kTables.ScrambleTable[i]], i);
    // The key must not be all zeros, or positions would not matter.
    EXPECT_NE(std::set<int>(kTables.ScrambleKey.begin(), kTables.ScrambleKey.end()).size(), 1u);
}

TEST(ProductDataScrambleTest, KeyIndexWrapsAt256) {
    for (int plain = 0; plain < 256; ++plain) {
        const auto b = static_cast<uint8_t>(plain);
        for (uint64_t p : {0u, 1u, 255u}) {
            EXPECT_EQ(ProductDataScramble::Scramble(b, p + 256), ProductDataScramble::Scramble(b, p));
            EXPECT_EQ(ProductDataScramble::Scramble(b, p + 512), ProductDataScramble::Scramble(b, p));
        }
        for (uint64_t p = 0; p < 600; p += 7)
            EXPECT_EQ(ProductDataScramble::Unscramble(ProductDataScramble::Scramble(b, p), p), b);
    }
}

TEST(ProductDataScrambleTest, BuildMatchesTheFormat) {
    for (size_t length : {0u, 1u, 12u, 255u, 256u, 300u, 1000u}) {
        Bytes content;
        for (size_t i = 0; i < length; ++i) content.push_back(static_cast<uint8_t>(i * 37 + 11));
        const std::string text(content.begin(), content.end());
        EXPECT_EQ(ProductDataScramble::Build(text), Encode(WithChecksum(content, Sum(content))))
            << "length " << length;
    }
}

TEST(ProductDataScrambleTest, SerialsThatCanBeFramed) {
    EXPECT_TRUE(ProductDataScramble::IsValidSerial("1234"));
    EXPECT_TRUE(ProductDataScramble::IsValidSerial("TARLO-2026-0001"));
    for (const char* bad : {"", "12*34", "*", "12 34", "12\n", "序列"})
        EXPECT_FALSE(ProductDataScramble::IsValidSerial(bad)) << bad;
    EXPECT_EQ(ProductDataScramble::ContentForSerial("77"), "XJQT*77*XJQT_Tarlo Flash");
}

TEST_F(ProductDataFileTest, FourByteFileIsIntactOnlyWhenItUnscramblesToZeros) {
    EXPECT_TRUE(OpenWith(Encode({0, 0, 0, 0})).CheckIntegrity());
    for (int i = 0; i < 4; ++i) {
        Bytes plain{0, 0, 0, 0};
        plain[i] = 1;
        EXPECT_FALSE(OpenWith(Encode(plain)).CheckIntegrity()) << "byte " << i;
    }
    // Zeros stored without scrambling are not zeros after unscrambling.
    EXPECT_FALSE(OpenWith({0, 0, 0, 0}).CheckIntegrity());
}

TEST_F(ProductDataFileTest, ShorterThanFourBytesIsDamaged) {
    for (size_t n = 0; n < 4; ++n) {
        EXPECT_FALSE(OpenWith(Encode(Bytes(n, 0))).CheckIntegrity()) << n << " bytes";
        EXPECT_EQ(m_file.ReadSerialNumber(), "");
    }
}

TEST_F(ProductDataFileTest, IntactFilesOfManyLengths) {
    // 252 + 4 = 256: the checksum ends exactly at the wrap; 300: content and
    // checksum both wrap; 5000: more than one read chunk.
    for (size_t length : {1u, 252u, 253u, 256u, 300u, 5000u}) {
        Bytes content;
        for (size_t i = 0; i < length; ++i) content.push_back(static_cast<uint8_t>(255 - i % 200));
        EXPECT_TRUE(OpenWith(Encode(WithChecksum(content, Sum(content)))).CheckIntegrity()) << length;
    }
}

TEST_F(ProductDataFileTest, KeyIndexOfByte256IsZeroAgain) {
    Bytes content(300, 'A');
    Bytes file = Encode(WithChecksum(content, Sum(content)));
    EXPECT_TRUE(OpenWith(file).CheckIntegrity());
    // Byte 256 scrambled with any key but index 0 must no longer pass.
    Bytes wrong = file;
    wrong[256] = kTables.ScrambleTable['A'] ^ static_cast<uint8_t>(kTables.ScrambleKey[0] ^ 0x5A);
    EXPECT_FALSE(OpenWith(wrong).CheckIntegrity());
}

TEST_F(ProductDataFileTest, DamagedChecksumOrContentIsDetected) {
    const Bytes content = Text("XJQT*1234*rest of the content");
    const Bytes good = Encode(WithChecksum(content, Sum(content)));
    EXPECT_TRUE(OpenWith(good).CheckIntegrity());
    for (size_t i = 0; i < good.size(); ++i) {
        Bytes bad = good;
        bad[i] ^= 0x01;
        EXPECT_FALSE(OpenWith(bad).CheckIntegrity()) << "flipped byte " << i;
    }
    // A checksum stored little-endian is wrong.
    const uint32_t s = Sum(content);
    Bytes le = content;
    for (int shift = 0; shift <= 24; shift += 8) le.push_back(static_cast<uint8_t>(s >> shift));
    ASSERT_NE(s & 0xFF, s >> 24);
    EXPECT_FALSE(OpenWith(Encode(le)).CheckIntegrity());
}

TEST_F(ProductDataFileTest, ChecksumCountsBytesAsUnsigned) {
    const Bytes content(40, 0xF0);  // 40 * 240 = 9600, not a negative sum
    EXPECT_TRUE(OpenWith(Encode(WithChecksum(content, 9600))).CheckIntegrity());
}

TEST_F(ProductDataFileTest, ReadFailureCountsAsDamaged) {
    const Bytes content = Text("XJQT*1*");
    OpenWith(Encode(WithChecksum(content, Sum(content))));
    ASSERT_TRUE(m_file.CheckIntegrity());
    File::SetFaultHook([](const File&, uint64_t, size_t, bool) { return EIO; });
    EXPECT_FALSE(m_file.CheckIntegrity());
    EXPECT_EQ(m_file.ReadSerialNumber(), "");
    File::SetFaultHook(nullptr);
}

TEST_F(ProductDataFileTest, NotOpenIsDamagedWithNoSerial) {
    EXPECT_FALSE(m_file.Open(m_dir.file("missing.uc")));
    EXPECT_FALSE(m_file.CheckIntegrity());
    EXPECT_EQ(m_file.ReadSerialNumber(), "");
}

TEST_F(ProductDataFileTest, SerialIsTheTextBetweenTheFirstTwoStars) {
    struct Row {
        std::string content, serial;
    };
    const Row rows[] = {
        {"before*1234*after", "1234"},
        {"*1234*", "1234"},
        {"XJQT*AB-99*x*y*", "AB-99"},
        {"**rest", ""},
        {"no stars at all", ""},
        {"one*star only", ""},
        {"", ""},
    };
    for (const Row& row : rows) {
        const Bytes content = Text(row.content);
        OpenWith(Encode(WithChecksum(content, Sum(content))));
        EXPECT_EQ(m_file.ReadSerialNumber(), row.serial) << row.content;
    }
}

TEST_F(ProductDataFileTest, SerialDoesNotRunIntoTheChecksum) {
    // One '*' in the content; a checksum byte that unscrambles to '*' must not
    // close the serial.
    const Bytes content = Text("abc*12");
    Bytes plain = content;
    plain.insert(plain.end(), {'*', '*', '*', '*'});
    OpenWith(Encode(plain));
    EXPECT_EQ(m_file.ReadSerialNumber(), "");
}

TEST_F(ProductDataFileTest, SerialBeyondTheFirst256BytesAndReadTwice) {
    std::string text(270, '-');
    text += "*SN-0042*";
    text += std::string(100, '=');
    const Bytes content = Text(text);
    OpenWith(Encode(WithChecksum(content, Sum(content))));
    EXPECT_TRUE(m_file.CheckIntegrity());
    EXPECT_EQ(m_file.ReadSerialNumber(), "SN-0042");
    EXPECT_EQ(m_file.ReadSerialNumber(), "SN-0042");  // every read restarts at position 0
}

TEST_F(ProductDataFileTest, WriterRoundTrip) {
    for (const char* serial : {"1234", "TARLO-2026-0001", "X"}) {
        const auto bytes = ProductDataScramble::Build(ProductDataScramble::ContentForSerial(serial));
        OpenWith(bytes);
        EXPECT_TRUE(m_file.CheckIntegrity()) << serial;
        EXPECT_EQ(m_file.ReadSerialNumber(), serial);
    }
}

class MakeProductDataTool : public ::testing::Test {
protected:
    int Run(const std::string& args) {
        const std::string command =
            std::string("\"") + FLASH_TEST_BINARY_DIR + "/bin/make_product_data\" " + args + " 2>/dev/null";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    TempDirectory m_dir;
};

TEST_F(MakeProductDataTool, WritesAFileTheProgramAccepts) {
    const std::string out = m_dir.file("XJQT.uc");
    ASSERT_EQ(Run("'" + out + "' TARLO-7"), 0);
    EXPECT_EQ(m_dir.Read("XJQT.uc"), ProductDataScramble::Build("XJQT*TARLO-7*XJQT_Tarlo Flash"));
    ProductDataFile file;
    ASSERT_TRUE(file.Open(out));
    EXPECT_TRUE(file.CheckIntegrity());
    EXPECT_EQ(file.ReadSerialNumber(), "TARLO-7");
}

TEST_F(MakeProductDataTool, RefusesBadArgumentsAndUnwritableOutput) {
    EXPECT_EQ(Run(""), 2);
    EXPECT_EQ(Run("'" + m_dir.file("a.uc") + "'"), 2);
    EXPECT_EQ(Run("'" + m_dir.file("a.uc") + "' 'A*B'"), 2);
    EXPECT_FALSE(m_dir.Exists("a.uc"));
    EXPECT_EQ(Run("'" + m_dir.file("no/such/dir/a.uc") + "' 1234"), 1);
}

}  // namespace
