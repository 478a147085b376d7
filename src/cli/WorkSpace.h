#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/CliJob.h"

// The jobs' work files need room: a copy of the image, the chip read back. On a
// full work directory the operations only see a failed write and blame the device
// or the input file; this tells the two apart afterwards.
class WorkSpace {
public:
    // Measures the room in `directory` before any job writes there.
    explicit WorkSpace(std::string directory);

    // Bytes a job of `setup` wrote to its work directory, as far as known from its
    // result: the image's length, or the chip's capacity for a read.
    static uint64_t NeededBy(const JobSetup& setup, const JobResult& result);

    // Turns failures that the lack of room explains into file errors naming the
    // directory; returns the slots whose result changed.
    std::vector<int> ExplainFailures(const std::vector<JobSetup>& setups,
                                     std::vector<JobResult>& results) const;

private:
    std::string m_directory;
    uint64_t m_available = UINT64_MAX;  // unknown: never blamed
};
