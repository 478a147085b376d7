#pragma once

#include <velmor.h>

#include <optional>
#include <string>

// "C84017": the JEDEC id as six upper-case hex digits.
std::string JedecText(uint32_t id);

// The identity line under 容量: "C84017 GigaDevice GD25Q64", "684018 未知型号 (SFDP) 16MB" or
// "未知芯片 AB1234"; a 1.8 V part adds "1.8V芯片，请使用转接座". Empty without a chip.
std::string ChipIdentityLine(const std::optional<VelmorChipIdentity>& identity);

// The first part name of a database identity ("GD25Q64" of "GD25Q64,GD25Q64C").
std::string FirstPartName(const VelmorChipIdentity& identity);

// "database", "sfdp" or "unknown", as the command-line tool's JSON gives it.
const char* IdentitySourceName(const VelmorChipIdentity& identity);
