#include "SimulatorConfig.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

namespace velmor {

namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<uint32_t> parseUnsigned(std::string_view value, uint32_t max) {
    uint32_t n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc{} || end != value.data() + value.size() || n > max) {
        return std::nullopt;
    }
    return n;
}

std::optional<int32_t> parseSigned(std::string_view value) {
    int32_t n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc{} || end != value.data() + value.size()) {
        return std::nullopt;
    }
    return n;
}

std::optional<bool> parseBool(std::string_view value) {
    const std::string v = lower(value);
    if (v == "yes" || v == "true" || v == "on" || v == "1") {
        return true;
    }
    if (v == "no" || v == "false" || v == "off" || v == "0") {
        return false;
    }
    return std::nullopt;
}

// "program", "read", both (separated by ',', '|' or blanks) or "none".
std::optional<std::pair<bool, bool>> parseTransfers(std::string_view value) {
    std::string v = lower(value);
    std::replace_if(
        v.begin(), v.end(), [](char c) { return c == ',' || c == '|' || c == '\t'; }, ' ');
    std::istringstream words(v);
    std::pair<bool, bool> chosen{false, false};
    bool none = false;
    int count = 0;
    for (std::string word; words >> word; ++count) {
        if (word == "program") {
            chosen.first = true;
        } else if (word == "read") {
            chosen.second = true;
        } else if (word == "none") {
            none = true;
        } else {
            return std::nullopt;
        }
    }
    if (count == 0 || (none && count > 1)) {
        return std::nullopt;
    }
    return chosen;
}

std::optional<uint32_t> parseJedec(std::string_view value) {
    if (value.size() == 8 && (value.substr(0, 2) == "0x" || value.substr(0, 2) == "0X")) {
        value.remove_prefix(2);
    }
    if (value.size() != 6 ||
        !std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isxdigit(c); })) {
        return std::nullopt;
    }
    uint32_t id = 0;
    std::from_chars(value.data(), value.data() + value.size(), id, 16);
    return id;
}

constexpr uint32_t kMaxTransfer = 8192;
constexpr uint32_t kMaxBlockDelayMs = 60'000;
constexpr uint32_t kMaxEraseMs = 600'000;

constexpr uint32_t kMaxSpiClockKhz = 60'000;

std::optional<std::string> applyBackend(SimulatorConfig& config, const std::string& word) {
    if (word == "auto") {
        config.backend = BackendChoice::Auto;
    } else if (word == "simulator") {
        config.backend = BackendChoice::Simulator;
    } else if (word == "ch341a") {
        config.backend = BackendChoice::Ch341a;
    } else if (word == "ch347") {
        config.backend = BackendChoice::Ch347;
    } else {
        return std::string("expected auto, simulator, ch341a or ch347");
    }
    return std::nullopt;
}

// Applies one key; returns the reason when the line is rejected.
std::optional<std::string> apply(SimulatorConfig& config, const std::string& key, std::string_view value) {
    const std::string word = lower(value);
    const auto unsignedInto = [&](uint32_t& target, uint32_t max) -> std::optional<std::string> {
        const std::optional<uint32_t> n = parseUnsigned(value, max);
        if (!n) {
            return "expected a whole number from 0 to " + std::to_string(max);
        }
        target = *n;
        return std::nullopt;
    };
    const auto transfersInto = [&](bool& program, bool& read) -> std::optional<std::string> {
        const auto chosen = parseTransfers(value);
        if (!chosen) {
            return std::string("expected program, read, program,read or none");
        }
        program = chosen->first;
        read = chosen->second;
        return std::nullopt;
    };
    const auto boolInto = [&](bool& target) -> std::optional<std::string> {
        const std::optional<bool> b = parseBool(value);
        if (!b) {
            return std::string("expected yes or no");
        }
        target = *b;
        return std::nullopt;
    };

    if (key == "programmer") {
        if (word != "present" && word != "absent") {
            return std::string("expected present or absent");
        }
        config.programmerPresent = word == "present";
    } else if (key == "devices") {
        const std::optional<uint32_t> n = parseUnsigned(value, kMaxSimulatedDevices);
        if (!n || *n == 0) {
            return "expected a whole number from 1 to " + std::to_string(kMaxSimulatedDevices);
        }
        config.devices = *n;
    } else if (key == "self_test") {
        if (word != "ok" && word != "fail") {
            return std::string("expected ok or fail");
        }
        config.selfTestPasses = word == "ok";
    } else if (key == "chip") {
        if (word == "absent") {
            config.chip = nullptr;
        } else if (const SimulatedChipType* type = findSimulatedChipType(value)) {
            config.chip = type;
        } else {
            return std::string(
                "expected 25X10, 25X20, 25X40, 25X80, 25X16, 25X32, 25X64, 25X128, 25X256 or absent");
        }
    } else if (key == "jedec") {
        const std::optional<uint32_t> id = parseJedec(value);
        if (!id) {
            return std::string("expected six hexadecimal digits, e.g. EF3014");
        }
        config.jedecId = *id;
    } else if (key == "sfdp") {
        return boolInto(config.sfdp);
    } else if (key == "kind" || key == "code") {
        const std::optional<int32_t> n = parseSigned(value);
        if (!n) {
            return std::string("expected a whole number");
        }
        (key == "kind" ? config.faults.forcedKind : config.faults.forcedCode) = *n;
    } else if (key == "fail_program_call") {
        return unsignedInto(config.faults.failProgramCall, UINT32_MAX);
    } else if (key == "fail_read_call") {
        return unsignedInto(config.faults.failReadCall, UINT32_MAX);
    } else if (key == "fail_erase_call") {
        return unsignedInto(config.faults.failEraseCall, UINT32_MAX);
    } else if (key == "fail_erase_block") {
        return unsignedInto(config.faults.failEraseBlock, UINT32_MAX);
    } else if (key == "fail_flash_info") {
        return boolInto(config.faults.failFlashInfo);
    } else if (key == "short_program") {
        return unsignedInto(config.faults.shortProgram, kMaxTransfer);
    } else if (key == "short_read") {
        return unsignedInto(config.faults.shortRead, kMaxTransfer);
    } else if (key == "report_zero") {
        return transfersInto(config.faults.zeroProgram, config.faults.zeroRead);
    } else if (key == "report_extra") {
        return transfersInto(config.faults.extraProgram, config.faults.extraRead);
    } else if (key == "block_delay_ms") {
        return unsignedInto(config.blockDelayMs, kMaxBlockDelayMs);
    } else if (key == "erase_ms") {
        return unsignedInto(config.eraseMs, kMaxEraseMs);
    } else if (key == "stuck_busy") {
        if (word == "none") {
            config.stuckBusy = StuckBusy::None;
        } else if (word == "program") {
            config.stuckBusy = StuckBusy::Program;
        } else if (word == "erase") {
            config.stuckBusy = StuckBusy::Erase;
        } else {
            return std::string("expected none, program or erase");
        }
    } else if (key == "backend") {
        return applyBackend(config, word);
    } else if (key == "spi_clock_khz") {
        const std::optional<uint32_t> khz = parseUnsigned(value, kMaxSpiClockKhz);
        if (!khz || *khz == 0) {
            return "expected a whole number from 1 to " + std::to_string(kMaxSpiClockKhz);
        }
        config.spiClockKhz = *khz;
    } else if (key == "block_protect") {
        uint32_t bits = 0;
        if (std::optional<std::string> reason = unsignedInto(bits, 7)) {
            return reason;
        }
        config.blockProtect = static_cast<uint8_t>(bits);
    } else if (key == "hardware_protect") {
        return boolInto(config.hardwareProtect);
    } else if (key == "access_denied") {
        return boolInto(config.accessDenied);
    } else {
        return "unknown key \"" + key + "\"";
    }
    return std::nullopt;
}

}  // namespace

std::string simulatedChipFile(int32_t index) {
    if (index <= 0) {
        return kSimulatedChipFile;
    }
    const std::string name = kSimulatedChipFile;
    return name.substr(0, name.rfind('.')) + "-" + std::to_string(index) + name.substr(name.rfind('.'));
}

SimulatorConfig parseSimulatorConfig(std::string_view text, std::string_view fileName,
                                     const ConfigComplaint& complain) {
    SimulatorConfig config;
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;

        raw = trim(raw);
        std::string_view content = raw.substr(0, raw.find('#'));
        content = trim(content);
        if (content.empty()) {
            continue;
        }
        std::optional<std::string> reason;
        const size_t equals = content.find('=');
        if (equals == std::string_view::npos) {
            reason = "expected key = value";
        } else {
            const std::string key = lower(trim(content.substr(0, equals)));
            const std::string_view value = trim(content.substr(equals + 1));
            if (key.empty()) {
                reason = "expected key = value";
            } else if (value.empty()) {
                reason = "no value for \"" + key + "\"";
            } else {
                reason = apply(config, key, value);
            }
        }
        if (reason && complain) {
            complain(std::string(fileName) + ":" + std::to_string(lineNumber) + ": ignored \"" +
                     std::string(raw) + "\": " + *reason);
        }
    }
    return config;
}

namespace {

// The whole file as text, or why it cannot be used. Opened without blocking and
// read only when it is a regular file of bounded size.
struct ConfigText {
    bool exists = true;
    std::string text;
    std::string problem;
};

ConfigText readConfigText(const std::string& path) {
    ConfigText result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        result.exists = error != ENOENT;
        result.problem = std::string("cannot open: ") + std::strerror(error);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.problem = "not a regular file";
    } else {
        // One byte more than allowed tells a file that grew after fstat.
        result.text.resize(kMaxSimulatorConfigBytes + 1);
        size_t got = 0;
        while (got < result.text.size()) {
            const ssize_t n = ::read(fd, result.text.data() + got, result.text.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                result.problem = std::string("cannot read: ") + std::strerror(errno);
            }
            if (n <= 0) {
                break;
            }
            got += static_cast<size_t>(n);
        }
        result.text.resize(got);
        if (result.problem.empty() && got > kMaxSimulatorConfigBytes) {
            result.problem = "larger than " + std::to_string(kMaxSimulatorConfigBytes) + " bytes";
        }
    }
    ::close(fd);
    return result;
}

}  // namespace

SimulatorConfig loadSimulatorConfig(const std::string& path, const ConfigComplaint& complain) {
    const ConfigText file = readConfigText(path);
    if (!file.exists) {
        return SimulatorConfig{};
    }
    if (!file.problem.empty()) {
        if (complain) {
            complain(path + ": " + file.problem + "; using the defaults");
        }
        return SimulatorConfig{};
    }
    return parseSimulatorConfig(file.text, path, complain);
}

SimulatorConfig loadSimulatorConfig(const std::string& path) {
    return loadSimulatorConfig(path, [](const std::string& message) {
        const std::string line = "velmor: " + message + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    });
}

}  // namespace velmor
