#include "cli/OutputFile.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "image/ImageFileCopy.h"
#include "platform/File.h"

OutputFile::~OutputFile() {
    if (m_fd >= 0) close(m_fd);
    if (!m_temporary.empty()) unlink(m_temporary.c_str());
}

bool OutputFile::Prepare(const std::string& destination) {
    m_destination = destination;
    const size_t slash = destination.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : destination.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? destination : destination.substr(slash + 1);
    if (name.empty()) return false;
    std::string pattern = slash == std::string::npos ? std::string() : dir;
    pattern += '.';
    pattern += name;
    pattern += ".part-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) return false;
    m_fd = fd;
    m_temporary = buffer.data();
    // mkstemp makes it 0600; a file the user asked for gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return true;
}

bool OutputFile::Publish(const std::string& source) {
    if (m_fd < 0) return false;
    File from;
    File to;
    if (!from.Open(source, File::Mode::ReadOnly) || !to.Open(m_temporary, File::Mode::ReadWrite)) return false;
    if (CopyImageFile(from, to).status != CopyStatus::Ok) return false;
    if (fsync(to.Descriptor()) != 0) return false;
    to.Close();
    if (std::rename(m_temporary.c_str(), m_destination.c_str()) != 0) return false;
    m_temporary.clear();
    return true;
}
