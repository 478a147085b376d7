#include "cli/WorkSpace.h"

#include <filesystem>

#include "cli/CliTexts.h"

WorkSpace::WorkSpace(std::string directory) : m_directory(std::move(directory)) {
    std::error_code error;
    const std::filesystem::space_info space = std::filesystem::space(m_directory, error);
    if (!error) m_available = space.available;
}

uint64_t WorkSpace::NeededBy(const JobSetup& setup, const JobResult& result) {
    const CliCommand command = setup.options.command;
    if (command == CliCommand::Read) return result.capacity;
    if (!CommandNeedsImage(command)) return 0;
    std::error_code error;
    const uintmax_t length =
        std::filesystem::file_size(setup.imagePath.empty() ? setup.file : setup.imagePath, error);
    return error ? 0 : length;
}

std::vector<int> WorkSpace::ExplainFailures(const std::vector<JobSetup>& setups,
                                            std::vector<JobResult>& results) const {
    // The jobs share the directory's file system, so together they needed it all.
    uint64_t needed = 0;
    for (size_t i = 0; i < setups.size() && i < results.size(); ++i)
        needed += NeededBy(setups[i], results[i]);
    std::vector<int> changed;
    if (needed <= m_available) return changed;
    for (size_t i = 0; i < setups.size() && i < results.size(); ++i) {
        JobResult& r = results[i];
        if (r.exit != ExitStatus::OperationFailed && r.exit != ExitStatus::FileError) continue;
        if (NeededBy(setups[i], r) == 0) continue;
        r.exit = ExitStatus::FileError;
        r.status = CliText::WorkDirectoryFull + m_directory;
        changed.push_back(static_cast<int>(i));
    }
    return changed;
}
