#pragma once

#include <ctime>

// The local date and time now, broken down (localtime_r).
std::tm LocalTimeNow();
