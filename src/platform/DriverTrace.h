#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "platform/DriverApi.h"

// A trace of every call through a driver table, one line each, for reporting
// hardware trouble:
//   <seconds since the trace began> <entry point>(<arguments>) = <result> [<outputs>] (<elapsed> ms)
// Data buffers show their length, never their contents. The table's entries are
// plain C functions without a context, so one trace at a time serves the process;
// calls from several threads each get a whole line.
class DriverTrace {
public:
    DriverTrace() = default;
    ~DriverTrace();
    DriverTrace(const DriverTrace&) = delete;
    DriverTrace& operator=(const DriverTrace&) = delete;

    // Creates or empties `path`; false (and nothing made) when it cannot be opened
    // or another trace is active. `clock` gives seconds from any fixed start.
    bool Open(const std::string& path, std::function<double()> clock);
    // The table that records each call and forwards it to `real`. Entries `real`
    // lacks stay null, so callers see the same gaps. Valid while this trace is open.
    DriverApi Wrap(const DriverApi& real);
    // Ends the trace; the wrapped table must no longer be called. False when a line
    // of it could not be written or the file not closed: the trace is incomplete.
    bool Close();
    bool IsOpen() const { return m_file != nullptr; }

private:
    FILE* m_file = nullptr;
};
