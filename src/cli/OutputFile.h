#pragma once

#include <string>

#include "platform/InterruptCleanup.h"
#include "platform/ReplacementFile.h"

// A file the tool writes for the user (the chip read back): made beside the
// destination under a temporary name and renamed over it only when complete, so
// a failed or interrupted job never leaves the user's file half-written and never
// leaves the temporary file behind.
class OutputFile {
public:
    // Creates the temporary file beside `destination`; false when that directory
    // cannot take it (checked before the chip is read).
    bool Prepare(const std::string& destination);
    // Copies `source` into the temporary file, flushes it to the disk and renames
    // it to the destination. False, with the destination untouched, on any failure.
    bool Publish(const std::string& source);

private:
    ReplacementFile m_replacement;
    InterruptCleanup::Guard m_cleanup;
};
