#include "platform/DriverLibrary.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

std::vector<bool> Bound(const DriverApi& api) {
    return {api.QuovixEnum != nullptr,         api.QuovixOpen != nullptr,
            api.QuovixClose != nullptr,        api.QuovixUsbSelfTest != nullptr,
            api.QuovixSetBP1 != nullptr,       api.QuovixSetFlashInfo != nullptr,
            api.QuovixSetWriteTime != nullptr, api.QuovixInitFlash != nullptr,
            api.QuovixProgram != nullptr,      api.QuovixRead != nullptr,
            api.QuovixGetFlashInfo != nullptr};
}

bool StillMapped(const std::string& path) {
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h != nullptr) dlclose(h);
    return h != nullptr;
}

TEST(DriverLibraryTest,
     BindsTheElevenNamesInOrderThenTheChipIdentityTheVerifyPromiseTheVersionsAndTheBlockErase) {
    const std::vector<std::string> expected = {
        "QuovixEnum",           "QuovixOpen",         "QuovixClose",          "QuovixUsbSelfTest",
        "QuovixSetBP1",         "QuovixSetFlashInfo", "QuovixSetWriteTime",   "QuovixInitFlash",
        "QuovixProgram",        "QuovixRead",         "QuovixGetFlashInfo",   "QuovixGetChipIdentity",
        "QuovixSetVerifyLater", "QuovixGetVersion",   "QuovixGetEraseBlocks", "QuovixEraseRange"};
    std::vector<std::string> asked;
    // Each name resolves to a distinct address, so a name bound into the wrong
    // member shows up.
    static char targets[16];
    const DriverApi api = DriverLibrary::BindWith([&](const char* name) -> void* {
        asked.push_back(name);
        return &targets[asked.size() - 1];
    });
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixEnum), &targets[0]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixOpen), &targets[1]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixClose), &targets[2]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixUsbSelfTest), &targets[3]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixSetBP1), &targets[4]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixSetFlashInfo), &targets[5]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixSetWriteTime), &targets[6]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixInitFlash), &targets[7]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixProgram), &targets[8]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixRead), &targets[9]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixGetFlashInfo), &targets[10]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixGetChipIdentity), &targets[11]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixSetVerifyLater), &targets[12]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixGetVersion), &targets[13]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixGetEraseBlocks), &targets[14]);
    EXPECT_EQ(reinterpret_cast<void*>(api.QuovixEraseRange), &targets[15]);
}

TEST(DriverLibraryTest, RealLibraryExportsEveryEntryPoint) {
    DriverLibrary library;
    ASSERT_TRUE(library.LoadFrom(VELMOR_LIBRARY_PATH)) << dlerror();
    EXPECT_EQ(Bound(library.Bind()), std::vector<bool>(11, true));
    EXPECT_NE(library.Bind().QuovixGetChipIdentity, nullptr);
    EXPECT_NE(library.Bind().QuovixSetVerifyLater, nullptr);
    EXPECT_NE(library.Bind().QuovixGetVersion, nullptr);
    EXPECT_EQ(library.Path(), VELMOR_LIBRARY_PATH);
}

TEST(DriverLibraryTest, MissingNamesLeaveNullPointers) {
    DriverLibrary library;
    ASSERT_TRUE(library.LoadFrom(PARTIAL_DRIVER_PATH)) << dlerror();
    const DriverApi api = library.Bind();
    std::vector<bool> expected(11, false);
    expected[0] = expected[1] = expected[2] = true;
    EXPECT_EQ(Bound(api), expected);
    // The bound pointers reach the library's own functions.
    EXPECT_EQ(api.QuovixEnum(), 3);
    EXPECT_EQ(api.QuovixOpen(0), 100);
    EXPECT_EQ(api.QuovixClose(7), 7);
}

TEST(DriverLibraryTest, UnloadReleasesTheLibrary) {
    {
        DriverLibrary library;
        ASSERT_TRUE(library.LoadFrom(PARTIAL_DRIVER_PATH));
        EXPECT_TRUE(StillMapped(PARTIAL_DRIVER_PATH));
        library.Unload();
        EXPECT_FALSE(library.IsLoaded());
        EXPECT_EQ(Bound(library.Bind()), std::vector<bool>(11, false));
        EXPECT_FALSE(StillMapped(PARTIAL_DRIVER_PATH));
        ASSERT_TRUE(library.LoadFrom(PARTIAL_DRIVER_PATH));
    }  // destruction unloads too
    EXPECT_FALSE(StillMapped(PARTIAL_DRIVER_PATH));
}

TEST(DriverLibraryTest, LoadingAnotherFileReleasesTheFirst) {
    DriverLibrary library;
    ASSERT_TRUE(library.LoadFrom(PARTIAL_DRIVER_PATH));
    ASSERT_TRUE(library.LoadFrom(VELMOR_LIBRARY_PATH));
    EXPECT_FALSE(StillMapped(PARTIAL_DRIVER_PATH));
}

TEST(DriverLibraryTest, MissingFileFailsAndBindsNothing) {
    DriverLibrary library;
    EXPECT_FALSE(library.LoadFrom("/nonexistent/libvelmor.so"));
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(Bound(library.Bind()), std::vector<bool>(11, false));
}

TEST(DriverLibraryTest, LoadFindsTheLibraryBesideTheProgram) {
    // The tests are built into the same directory as libvelmor.so.
    const std::string beside = DriverLibrary::ExecutableDirectory() + "/libvelmor.so";
    ASSERT_EQ(beside, std::filesystem::canonical(VELMOR_LIBRARY_PATH).string());
    DriverLibrary library;
    ASSERT_TRUE(library.Load());
    EXPECT_TRUE(StillMapped(VELMOR_LIBRARY_PATH));
    EXPECT_EQ(Bound(library.Bind()), std::vector<bool>(11, true));
    EXPECT_NE(library.Bind().QuovixGetChipIdentity, nullptr);
}

TEST(DriverLibraryTest, ExecutableDirectoryHoldsThisTest) {
    const std::string dir = DriverLibrary::ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir, std::filesystem::canonical(std::string(FLASH_TEST_BINARY_DIR) + "/bin").string());
}

}  // namespace
