// The product data file decoder on arbitrary file contents, through the file as
// the program opens it. Its verdicts are compared with the same rules applied to
// the bytes in memory, and every file the writer builds must pass its own check.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "device/ProductDataFile.h"
#include "device/ProductDataScramble.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

// One scratch file per process, rewritten for every input.
const std::string& scratchPath() {
    static const std::string path = [] {
        std::string p = "/tmp/product-data-fuzz-XXXXXX";
        const int fd = ::mkstemp(p.data());
        require(fd >= 0);
        ::close(fd);
        std::atexit([] { ::unlink(scratchPath().c_str()); });
        return p;
    }();
    return path;
}

void writeScratch(const uint8_t* bytes, size_t size) {
    const int fd = ::open(scratchPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    require(fd >= 0);
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        require(n > 0);
        done += static_cast<size_t>(n);
    }
    ::close(fd);
}

struct Verdict {
    bool intact;
    std::string serial;
};

// The file's rules on bytes in memory.
Verdict expected(const uint8_t* bytes, size_t size) {
    if (size < 4) return {false, {}};
    const size_t content = size - 4;
    uint32_t sum = 0;
    std::string serial;
    int stars = 0;
    for (size_t p = 0; p < content; ++p) {
        const uint8_t plain = ProductDataScramble::Unscramble(bytes[p], p);
        sum += plain;
        if (plain == '*') {
            ++stars;
        } else if (stars == 1) {
            serial += static_cast<char>(plain);
        }
    }
    uint32_t stored = 0;
    for (size_t i = 0; i < 4; ++i)
        stored = (stored << 8) | ProductDataScramble::Unscramble(bytes[content + i], content + i);
    return {stored == sum, stars >= 2 ? serial : std::string()};
}

Verdict decoded(const uint8_t* bytes, size_t size) {
    writeScratch(bytes, size);
    ProductDataFile file;
    require(file.Open(scratchPath()));
    Verdict v{file.CheckIntegrity(), file.ReadSerialNumber()};
    // Reading twice gives the same answer: every read starts at position 0.
    require(file.ReadSerialNumber() == v.serial);
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size > 64 * 1024) return 0;
    const Verdict want = expected(bytes, size);
    const Verdict got = decoded(bytes, size);
    require(got.intact == want.intact);
    require(got.serial == want.serial);

    // The same bytes as content: the writer's file is always intact.
    const std::string_view content(reinterpret_cast<const char*>(bytes), size);
    const std::vector<uint8_t> built = ProductDataScramble::Build(content);
    require(built.size() == size + 4);
    require(decoded(built.data(), built.size()).intact);
    if (ProductDataScramble::IsValidSerial(content)) {
        const std::vector<uint8_t> shipped =
            ProductDataScramble::Build(ProductDataScramble::ContentForSerial(content));
        require(decoded(shipped.data(), shipped.size()).serial == content);
    }
    return 0;
}
