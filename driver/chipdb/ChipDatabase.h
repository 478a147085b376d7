#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmor {

// How a part takes addresses: 3 bytes only; 3 bytes by default with a 4-byte
// mode (B7/E9) or 4-byte opcodes; 4 bytes only.
enum class AddressMode { Three, ThreeOrFour, Four };

struct EraseBlock {
    uint32_t size;
    uint8_t opcode;  // for 3-byte addresses
};

// One row of the chip database: everything known about the parts that answer one JEDEC id.
struct ChipRow {
    uint32_t id = 0;  // 0xMMTTCC
    uint32_t size = 0;
    uint32_t page = 256;
    std::vector<EraseBlock> erase;  // smallest first
    AddressMode address = AddressMode::Three;
    bool lowVoltage = false;           // 1.8 V: the part must not see 3.3 V
    std::vector<std::string> protect;  // block-protect bits of status register 1
    std::optional<double> eraseSeconds;
    std::string maker;
    std::vector<std::string> parts;
    std::string file;  // where the row came from, for messages
    int line = 0;
};

// Receives one message per rejected row or unreadable file: "<file>:<line>: ...".
using ChipDbComplaint = std::function<void(const std::string&)>;

inline constexpr const char* kChipDbFile = "chipdb.txt";
inline constexpr const char* kChipDbUserFile = "chipdb-user.txt";

// The rows of one or more database files; a later file's row overrides an
// earlier row of the same id. Rows that break a rule are reported and skipped.
class ChipDatabase {
public:
    // Adds the rows of one file's text. Ids must be unique within one file.
    void addText(std::string_view text, const std::string& fileName, const ChipDbComplaint& complain);
    // Adds a file; false (and nothing added) when it cannot be read. A missing
    // file is no complaint, an unreadable one is.
    bool addFile(const std::string& path, const std::string& shownName, const ChipDbComplaint& complain);

    const ChipRow* find(uint32_t id) const;
    // Every row, ordered by id.
    std::vector<const ChipRow*> rows() const;
    bool empty() const { return m_rows.empty(); }
    // Files that contributed, in load order.
    const std::vector<std::string>& files() const { return m_files; }

private:
    std::map<uint32_t, ChipRow> m_rows;
    std::vector<std::string> m_files;
};

// Parses one non-comment row; the reason it is refused otherwise.
struct ParsedRow {
    std::optional<ChipRow> row;
    std::string error;
};
ParsedRow parseChipRow(std::string_view line);

// Where the installed database may lie for a library in `libraryDir`, in the
// order they are tried: beside the library, <libdir>/../../share/xjqt-tarlo,
// <libdir>/../share/xjqt-tarlo, /usr/share/xjqt-tarlo.
std::vector<std::string> installedChipDbCandidates(const std::string& libraryDir);

// The first installed database that exists, then chipdb-user.txt in the
// current directory on top. Without either the database is empty.
ChipDatabase loadChipDatabase(const std::string& libraryDir, const ChipDbComplaint& complain);

// "W25Q64BV,W25Q64FV" and "8M"-style size texts, shared by the front ends.
std::string joinParts(const std::vector<std::string>& parts);
std::string sizeText(uint32_t bytes);

}  // namespace velmor
