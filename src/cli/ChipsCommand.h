#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "ChipDatabase.h"
#include "cli/ExitStatus.h"

// `xjqt-tarlo chips [PATTERN]`: what the chip database knows, one line per part
// name (maker, part, id, size), like flashrom's list. PATTERN matches a maker,
// part or id in any case.
std::vector<std::string> ChipListLines(const velmor::ChipDatabase& database, const std::string& pattern);

// Runs the command on `arguments` ("chips" first) with the database the driver
// in `libraryDirectory` reads; bad rows are reported on `err` with file and line.
ExitStatus RunChipsCommand(const std::vector<std::string>& arguments, const std::string& libraryDirectory,
                           FILE* out, FILE* err);
