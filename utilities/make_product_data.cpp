// Writes a product data file "XJQT.uc" for a serial number.
// Usage: make_product_data OUTPUT SERIAL
//
// The bytes go to a temporary file beside OUTPUT that is renamed into place
// only once it is complete, so a failed write leaves the old file as it was.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/ProductDataScramble.h"

namespace {

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes `bytes` to a fresh file beside `output` and renames it over `output`;
// on failure removes the temporary file and returns the reason.
std::string ReplaceFile(const std::string& output, const std::vector<uint8_t>& bytes) {
    std::string temporary = output + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return std::strerror(errno);
    // mkstemp makes the file private; give it the mode a plain create would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    int error = 0;
    if (!WriteAll(fd, bytes) || ::fchmod(fd, 0666 & ~mask) != 0 || ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), output.c_str()) != 0) error = errno;
    if (error == 0) return {};
    ::unlink(temporary.c_str());
    return std::strerror(error);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_product_data OUTPUT SERIAL\n");
        return 2;
    }
    const std::string output = argv[1];
    const std::string serial = argv[2];
    if (!ProductDataScramble::IsValidSerial(serial)) {
        std::fprintf(stderr, "make_product_data: the serial must be printable ASCII without '*' or blanks\n");
        return 2;
    }
    const auto bytes = ProductDataScramble::Build(ProductDataScramble::ContentForSerial(serial));
    const std::string error = ReplaceFile(output, bytes);
    if (!error.empty()) {
        std::fprintf(stderr, "make_product_data: cannot write %s: %s\n", output.c_str(), error.c_str());
        return 1;
    }
    return 0;
}
