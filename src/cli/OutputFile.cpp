#include "cli/OutputFile.h"

#include "image/ImageFileCopy.h"
#include "platform/File.h"
#include "platform/Leftovers.h"

bool OutputFile::Prepare(const std::string& destination) {
    // A run ended by SIGKILL left its temporary file beside the destination.
    const size_t slash = destination.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : destination.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? destination : destination.substr(slash + 1);
    Leftovers::RemoveOrphans(directory, "." + name + ".", '.');
    // No signal between making the temporary file and registering it.
    InterruptCleanup::Deferred deferred;
    if (!m_replacement.Create(destination)) return false;
    m_cleanup = InterruptCleanup::Guard(m_replacement.temporaryPath(), InterruptCleanup::Guard::Kind::File);
    return true;
}

bool OutputFile::Publish(const std::string& source) {
    if (!m_replacement.file().IsOpen()) return false;
    File from;
    if (!from.Open(source, File::Mode::ReadOnly)) return false;
    if (CopyImageFile(from, m_replacement.file()).status != CopyStatus::Ok) return false;
    // The rename may happen now: the temporary name is nothing to remove any more.
    const bool committed = m_replacement.Commit();
    m_cleanup.Forget();
    return committed;
}
