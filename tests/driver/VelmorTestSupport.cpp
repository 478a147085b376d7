#include "VelmorTestSupport.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <fstream>

namespace velmortest {

namespace fs = std::filesystem;

namespace {

template <typename Fn>
void bind(void* library, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(::dlsym(library, name));
}

}  // namespace

VelmorLibrary::VelmorLibrary() {
    m_handle = ::dlopen(VELMOR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        ADD_FAILURE() << "dlopen failed: " << ::dlerror();
        return;
    }
    bind(m_handle, "QuovixEnum", m_api.QuovixEnum);
    bind(m_handle, "QuovixOpen", m_api.QuovixOpen);
    bind(m_handle, "QuovixClose", m_api.QuovixClose);
    bind(m_handle, "QuovixUsbSelfTest", m_api.QuovixUsbSelfTest);
    bind(m_handle, "QuovixSetBP1", m_api.QuovixSetBP1);
    bind(m_handle, "QuovixSetFlashInfo", m_api.QuovixSetFlashInfo);
    bind(m_handle, "QuovixSetWriteTime", m_api.QuovixSetWriteTime);
    bind(m_handle, "QuovixInitFlash", m_api.QuovixInitFlash);
    bind(m_handle, "QuovixProgram", m_api.QuovixProgram);
    bind(m_handle, "QuovixLastFailure", m_api.QuovixLastFailure);
    bind(m_handle, "QuovixRead", m_api.QuovixRead);
    bind(m_handle, "QuovixGetFlashInfo", m_api.QuovixGetFlashInfo);
    bind(m_handle, "QuovixGetChipIdentity", m_api.QuovixGetChipIdentity);
}

VelmorLibrary::~VelmorLibrary() {
    if (m_handle) {
        ::dlclose(m_handle);
    }
}

StderrCapture::StderrCapture() : m_file(m_dir.path() / "stderr") {
    std::fflush(stderr);
    m_saved = ::dup(2);
    const int fd = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
}

StderrCapture::~StderrCapture() {
    finish();
}

std::string StderrCapture::finish() {
    if (m_finished) {
        return {};
    }
    m_finished = true;
    std::fflush(stderr);
    ::dup2(m_saved, 2);
    ::close(m_saved);
    std::ifstream in(m_file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<uint8_t> pattern(size_t length, uint32_t seed) {
    std::vector<uint8_t> bytes(length);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

void VelmorTest::SetUp() {
    m_dir = std::make_unique<TempDirectory>(TempUse::AsCurrent);
    m_library = std::make_unique<VelmorLibrary>();
    ASSERT_TRUE(m_library->loaded());
    configure();
}

void VelmorTest::TearDown() {
    for (int32_t handle : m_open) {
        api().QuovixClose(handle);
    }
    m_open.clear();
    m_library.reset();
    m_dir.reset();
}

void VelmorTest::configure(const std::string& lines) {
    writeText(kConfigFile, "backend = simulator\nblock_delay_ms = 0\nerase_ms = 0\n" + lines);
}

int32_t VelmorTest::open() {
    const int32_t handle = api().QuovixOpen(0);
    if (handle > 0) {
        m_open.push_back(handle);
    }
    return handle;
}

void VelmorTest::close(int32_t handle) {
    api().QuovixClose(handle);
    m_open.erase(std::remove(m_open.begin(), m_open.end(), handle), m_open.end());
}

int32_t VelmorTest::connect() {
    EXPECT_GT(api().QuovixEnum(), 0);
    const int32_t handle = open();
    EXPECT_GT(handle, 0);
    EXPECT_NE(api().QuovixUsbSelfTest(handle), 0);
    EXPECT_NE(api().QuovixSetFlashInfo(handle, 5, 0), 0);
    EXPECT_NE(api().QuovixSetWriteTime(handle, 5), 0);
    return handle;
}

std::vector<uint8_t> VelmorTest::chipFile() const {
    return ReadBytes(m_dir->path() / kChipFile);
}

bool VelmorTest::programAll(int32_t handle, const std::vector<uint8_t>& data, uint32_t address) {
    uint32_t done = 0;
    while (done < data.size()) {
        const uint32_t block = std::min<uint32_t>(kBlock, static_cast<uint32_t>(data.size()) - done);
        uint32_t written = 0;
        if (api().QuovixProgram(handle, data.data() + done, block, address + done, &written) == 0 ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

std::vector<uint8_t> VelmorTest::readRange(int32_t handle, uint32_t address, uint32_t length) {
    std::vector<uint8_t> out;
    out.reserve(length);
    std::vector<uint8_t> buffer(kBlock);
    uint32_t done = 0;
    while (done < length) {
        const uint32_t want = std::min(kBlock, length - done);
        uint32_t got = 0;
        if (api().QuovixRead(handle, buffer.data(), want, address + done, &got) == 0 || got == 0 ||
            got > want) {
            ADD_FAILURE() << "read failed at " << address + done;
            return out;
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
        done += got;
    }
    return out;
}

void VelmorTest::reloadLibrary() {
    for (int32_t handle : m_open) {
        api().QuovixClose(handle);
    }
    m_open.clear();
    m_library.reset();
    m_library = std::make_unique<VelmorLibrary>();
    ASSERT_TRUE(m_library->loaded());
}

}  // namespace velmortest
