#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ExitStatus.h"
#include "platform/DriverApi.h"

class ConsoleOutput;

// One job: one command on one programmer, on the calling thread, through the
// window's own detection, loader and chip operations.
struct JobSetup {
    DriverApi api;
    int index = 0;  // the programmer, as the driver counts them; also the console slot
    CliOptions options;
    std::string file;               // the image, or where a read goes, as the user named it ("-": a stream)
    std::string imagePath;          // where the image is read from when not `file` (standard input's copy)
    FILE* imageOut = nullptr;       // where a read to "-" goes
    std::string workDirectory;      // this job's own, existing, ending with "/"
    std::string lockDirectory;      // programmer locks; empty: the runtime directory
    std::function<double()> clock;  // seconds from any fixed start
    int forcedRow = -1;             // model row --chip names; -1: as the chip is identified
};

struct JobResult {
    int device = 0;
    CliCommand command = CliCommand::Detect;
    std::string file;
    std::string chip;  // model of the chip the job worked with; empty when it found none
    uint32_t capacity = 0;
    uint64_t bytes = 0;  // chip bytes the job covered (as far as it came, when it failed)
    double seconds = 0;
    ExitStatus exit = ExitStatus::Success;
    std::string status;  // the last status text
    int differences = 0;
    std::optional<VelmorChipIdentity> identity;  // who the chip is; empty when none answered
    std::string reason;    // the driver's cause of the failure ("write-protected", ...); empty: none known
    bool busy = false;     // the programmer was held by the window or another job
    bool changed = false;  // write --changed
    uint32_t sectors = 0;  // sectors it compared; 0 when it ran the auto sequence instead
    uint32_t touched = 0;  // sectors it erased or programmed
};

// The files a job makes in its work directory (the image's copy, the chip read back).
std::vector<std::string> JobWorkFileNames();

JobResult RunJob(const JobSetup& setup, ConsoleOutput& console);

// The result as one JSON object on one line.
std::string JobResultJson(const JobResult& result);
