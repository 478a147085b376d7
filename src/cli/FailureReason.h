#pragma once

#include "cli/CliJob.h"
#include "platform/DriverApi.h"

class ConsoleOutput;

// Says why a job failed where the driver library knows more than the window's
// status text: a programmer the user may not open, a chip whose WP pin holds its
// protect bits. Runs on the job's thread right after the job, since the library
// keeps the reason per thread; sets the result's reason for --json.
void ExplainLibraryFailure(const DriverApi& api, JobResult& result, ConsoleOutput& console, int slot);
