#pragma once

// Standard streams a program was started without.
namespace StandardStreams {

// True when descriptor `fd` (0, 1 or 2) was not open. It then holds /dev/null, so
// no file opened later takes its number and receives text meant for the stream.
bool ReopenIfClosed(int fd);

}  // namespace StandardStreams
