#pragma once

#include <cstdint>
#include <string>

#include "cli/CliOptions.h"

// What the tool refuses about an image before any chip is touched: a script that
// writes or verifies an empty file has almost certainly named the wrong one, and
// the window's success for it would hide that.
// Returns the refusal's text (the file's name added), empty when the image may go on.
std::string ImageRefusal(CliCommand command, uint64_t imageLength, const std::string& file);
