#pragma once

#include <velmor.h>

#include <optional>
#include <string>

#include "ChipDatabase.h"

// The model row `--chip NAME` stands for: a model text ("25X64") or a part name
// of the chip database ("GD25Q64"), in any case. Empty when NAME is neither, or
// names a part whose size no model has.
std::optional<int> ChipModelRowFor(const std::string& name, const velmor::ChipDatabase& database);

// What `detect` says of the chip: maker, part, id, size and where the identity
// came from (数据库, SFDP, 未知).
std::string ChipIdentityReport(const VelmorChipIdentity& identity);

// The refusal of an unknown chip: names its id and --chip.
std::string UnknownChipRefusal(const VelmorChipIdentity& identity);

// True when the driver answered but could tell neither from its database nor from SFDP.
inline bool IsUnknownChip(const std::optional<VelmorChipIdentity>& identity) {
    return identity && identity->source != VELMOR_IDENTITY_DATABASE &&
           identity->source != VELMOR_IDENTITY_SFDP;
}
