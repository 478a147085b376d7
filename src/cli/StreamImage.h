#pragma once

#include <cstdio>
#include <string>

// An image that comes from standard input or a read that goes to standard output
// ("-" as FILE). Both pass through a file in the work directory in pieces, so an
// image is never held whole in memory.
namespace StreamImage {

enum class Result {
    Ok,
    StreamFailed,  // the stream could not be read or written to its end
    FileFailed,    // the work file could not be made, written or read
};

// Copies everything `in` delivers into a new file `path`.
Result Spool(FILE* in, const std::string& path);
// Copies the file `path` to `out` and flushes it.
Result Send(const std::string& path, FILE* out);

}  // namespace StreamImage
