#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

// A transfer the driver calls successful while reporting what cannot be: nothing
// moved, or one byte more than the 8192 asked. Every operation that moves blocks
// treats it as a failed call and stops there.
struct ImpossibleReport {
    const char* name;
    int call;  // which transfer of the run (1-based) reports it
    uint32_t report;
};

inline void PrintTo(const ImpossibleReport& row, std::ostream* os) {
    *os << row.name;
}

inline const ImpossibleReport kImpossibleReports[] = {
    {"ZeroFirst", 1, 0},
    {"ZeroLater", 2, 0},
    {"OverFirst", 1, 8193},
    {"OverLater", 2, 8193},
};

inline std::string ImpossibleReportName(const ::testing::TestParamInfo<ImpossibleReport>& info) {
    return info.param.name;
}
