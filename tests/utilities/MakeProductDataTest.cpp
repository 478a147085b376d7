// make_product_data replaces its output only with a complete file: a write that
// fails leaves the old product data file as it was and no temporary behind.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDirectory.h"
#include "device/ProductDataScramble.h"

namespace {

class MakeProductDataTest : public ::testing::Test {
protected:
    // Runs the tool under a shell whose file size limit is `limit` blocks ("" for none);
    // a write beyond the limit then fails instead of killing the tool.
    int Run(const std::string& serial, const std::string& limit = "") {
        std::string command = "trap '' XFSZ; umask 022; ";
        if (!limit.empty()) command += "ulimit -f " + limit + "; ";
        command += "exec '" FLASH_TEST_BINARY_DIR "/bin/make_product_data' '" + m_dir.file("XJQT.uc") + "' " +
                   serial + " 2>/dev/null";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.path()))
            names.push_back(entry.path().filename().string());
        return names;
    }
    TempDirectory m_dir;
};

TEST_F(MakeProductDataTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    ASSERT_EQ(Run("OLD-1"), 0);
    const auto old = m_dir.Read("XJQT.uc");
    ASSERT_EQ(old, ProductDataScramble::Build(ProductDataScramble::ContentForSerial("OLD-1")));

    EXPECT_EQ(Run("NEW-2", "0"), 1);
    EXPECT_EQ(m_dir.Read("XJQT.uc"), old);
    EXPECT_EQ(Names(), std::vector<std::string>{"XJQT.uc"});
}

TEST_F(MakeProductDataTest, SuccessfulWriteReplacesTheOldFileWhole) {
    m_dir.Write("XJQT.uc", std::vector<uint8_t>(5000, 0xAB));  // longer than any product data file
    ASSERT_EQ(Run("NEW-2"), 0);
    EXPECT_EQ(m_dir.Read("XJQT.uc"),
              ProductDataScramble::Build(ProductDataScramble::ContentForSerial("NEW-2")));
    EXPECT_EQ(Names(), std::vector<std::string>{"XJQT.uc"});
    EXPECT_EQ(std::filesystem::status(m_dir.file("XJQT.uc")).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read | std::filesystem::perms::others_read);
}

}  // namespace
