// Modelled times of chip operations over the emulated CH341A and CH347 (see
// bench/README.md for the model): an 8 MiB W25Q64 through the library's entry
// points, as the program calls them, against the physical limit of each.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Ch341aEmulator.h"
#include "Ch347Emulator.h"
#include "ChipCatalog.h"
#include "ChipDatabase.h"
#include "Driver.h"
#include "ProgrammerBackend.h"

namespace {

using namespace velmor;

constexpr uint32_t kChipSize = 8u << 20;
constexpr uint32_t kBlock = 8192;
constexpr uint32_t kPage = 256;
// W25Q64FV datasheet, typical values.
constexpr uint32_t kPageProgramUs = 700;
constexpr uint32_t kChipEraseUs = 20'000'000;
constexpr uint32_t kStatusWriteUs = 10'000;
constexpr uint32_t kSectorEraseUs = 45'000;
constexpr uint32_t kBlock32EraseUs = 120'000;
constexpr uint32_t kBlock64EraseUs = 150'000;
constexpr uint32_t kSector = 4096;

struct Figures {
    double us = 0;
    uint64_t roundTrips = 0;
    uint64_t wireBytes = 0;
};

struct Bench {
    std::string name;
    double spiByteUs;
    std::shared_ptr<emulator::EmulatedUsbDevice> device;
    std::unique_ptr<Driver> driver;
    int32_t handle = 0;
    // Targets in seconds for the auto sequence and the changed-only write; 0: none.
    double autoTargetS = 0;
    double changedTargetS = 0;
    double identifyTargetMs = 0;
};

std::unique_ptr<SimulatedChip> w25q64() {
    auto chip = std::make_unique<SimulatedChip>(0xEF4017, std::vector<uint8_t>(kChipSize, 0xFF), nullptr);
    SimulatedChip::Timing timing;
    timing.programBusyUs = kPageProgramUs;
    timing.eraseBusyUs = kChipEraseUs;
    timing.statusBusyUs = kStatusWriteUs;
    timing.erase4kBusyUs = kSectorEraseUs;
    timing.erase32kBusyUs = kBlock32EraseUs;
    timing.erase64kBusyUs = kBlock64EraseUs;
    chip->setTiming(timing);
    return chip;
}

Figures measure(Bench& bench, const std::function<bool()>& run) {
    const auto before = bench.device->statistics();
    const double start = bench.device->hostUs();
    if (!run()) {
        std::fprintf(stderr, "%s: operation failed\n", bench.name.c_str());
        std::exit(1);
    }
    const auto after = bench.device->statistics();
    return {bench.device->hostUs() - start, after.roundTrips - before.roundTrips,
            (after.bytesOut - before.bytesOut) + (after.bytesIn - before.bytesIn)};
}

bool programImage(Bench& b, const std::vector<uint8_t>& image) {
    for (uint32_t at = 0; at < image.size(); at += kBlock) {
        uint32_t done = at;
        if (b.driver->program(b.handle, image.data() + at, kBlock, at, &done) != 1 || done != kBlock) {
            return false;
        }
    }
    return true;
}

bool readChip(Bench& b, const std::vector<uint8_t>* expected) {
    std::vector<uint8_t> buffer(kBlock);
    for (uint32_t at = 0; at < kChipSize; at += kBlock) {
        uint32_t done = at;
        if (b.driver->read(b.handle, buffer.data(), kBlock, at, &done) != 1 || done != kBlock) {
            return false;
        }
        if (expected && !std::equal(buffer.begin(), buffer.end(), expected->begin() + at)) {
            return false;
        }
    }
    return true;
}

// The least time the SPI bus and the chip need, whatever the programmer:
// reads: command and address per 8192-byte call, then the data;
// page stream: per page write enable, page program with address and data, one
// status read, the page time (pages of 0xFF are never sent);
// chip erase: write enable, chip erase, one status read, the erase time.
// A standalone program or erase also needs the read-back it checks with; the
// auto sequence needs only its one verify read.
double readLimitUs(const Bench& b, uint32_t bytes) {
    return (bytes + 4.0 * ((bytes + kBlock - 1) / kBlock)) * b.spiByteUs;
}
double pageStreamUs(const Bench& b, uint32_t pages) {
    return pages * ((1 + 4 + kPage + 2) * b.spiByteUs + kPageProgramUs);
}
double chipEraseUs(const Bench& b) {
    return 4 * b.spiByteUs + kChipEraseUs;
}
double programLimitUs(const Bench& b, uint32_t pages) {
    return pageStreamUs(b, pages) + readLimitUs(b, kChipSize);
}
double eraseLimitUs(const Bench& b) {
    return chipEraseUs(b) + readLimitUs(b, kChipSize);
}
double autoLimitUs(const Bench& b, uint32_t pages) {
    return chipEraseUs(b) + pageStreamUs(b, pages) + readLimitUs(b, kChipSize);
}
// A changed-only write of one 4 KiB sector: one read of the chip, the sector's
// erase (write enable, opcode and address, one status read, the erase time),
// its page stream and its verify read.
double changedLimitUs(const Bench& b) {
    return readLimitUs(b, kChipSize) + (1 + 4 + 2) * b.spiByteUs + kSectorEraseUs +
           pageStreamUs(b, kSector / kPage) + readLimitUs(b, kSector);
}

// The program's auto sequence on the open connection: it verifies, so the erase
// and the programs skip their read-backs.
bool autoSequence(Bench& b, const std::vector<uint8_t>& image) {
    return b.driver->setVerifyLater(b.handle, 1) == 1 && b.driver->initFlash(b.handle) == 1 &&
           programImage(b, image) && readChip(b, &image) && b.driver->setVerifyLater(b.handle, 0) == 1;
}

// The program's changed-only write of `file` as it makes it: connection check,
// erase blocks, one read of the chip compared sector by sector, then with the
// promise to verify: each run of sectors needing an erase erased in one call and
// programmed, a sector whose new data only clears bits programmed page by page
// where it differs, and the touched sectors read back.
bool changedWrite(Bench& b, const std::vector<uint8_t>& file, uint32_t* touched) {
    const int32_t h = b.driver->open(0);
    int32_t kind = 0;
    int32_t code = 0;
    ChipInfo info;
    bool ok = h > 0 && b.driver->selfTest(h) == 1 && b.driver->setFlashInfo(h, 5, 0) == 1 &&
              b.driver->setWriteTime(h, 5) == 1 && b.driver->getFlashInfo(h, &kind, &code) == 1 &&
              b.driver->setFlashInfo(h, 5, kChipSize) == 1 && b.driver->setWriteTime(h, 500) == 1 &&
              b.driver->chipIdentity(h, &info) == 1 && !info.erase.empty();
    const uint32_t sector = ok ? info.erase.front().size : kSector;
    enum class Need { None, Program, Erase };
    std::vector<Need> need(kChipSize / sector, Need::None);
    std::vector<bool> pageDiffers(kChipSize / kPage, false);
    std::vector<uint8_t> buffer(kBlock);
    for (uint32_t at = 0; ok && at < kChipSize; at += kBlock) {
        uint32_t done = 0;
        ok = b.driver->read(h, buffer.data(), kBlock, at, &done) == 1 && done == kBlock;
        for (uint32_t s = at; ok && s < at + kBlock; s += sector) {
            for (uint32_t i = 0; i < sector; ++i) {
                const uint8_t was = buffer[s - at + i];
                const uint8_t wanted = file[s + i];
                if ((was & wanted) != wanted) {
                    need[s / sector] = Need::Erase;
                    break;
                }
                if (was != wanted) {
                    need[s / sector] = Need::Program;
                    pageDiffers[(s + i) / kPage] = true;
                }
            }
        }
    }
    ok = ok && b.driver->setVerifyLater(h, 1) == 1;
    *touched = 0;
    for (uint32_t i = 0; ok && i < need.size();) {
        if (need[i] == Need::None) {
            ++i;
            continue;
        }
        uint32_t end = i + 1;
        while (end < need.size() && need[end] == need[i]) {
            ++end;
        }
        uint32_t done = 0;
        if (need[i] == Need::Erase) {
            ok = b.driver->eraseRange(h, i * sector, (end - i) * sector, &done) == 1;
        }
        for (uint32_t at = i * sector; ok && at < end * sector;) {
            const uint32_t n = need[i] == Need::Erase ? std::min(kBlock, end * sector - at) : kPage;
            const bool differs = need[i] == Need::Erase || pageDiffers[at / kPage];
            ok = !differs || (b.driver->program(h, file.data() + at, n, at, &done) == 1 && done == n);
            at += n;
        }
        *touched += end - i;
        i = end;
    }
    for (uint32_t i = 0; ok && i < need.size(); ++i) {
        uint32_t done = 0;
        ok = need[i] == Need::None ||
             (b.driver->read(h, buffer.data(), sector, i * sector, &done) == 1 && done == sector &&
              std::equal(buffer.begin(), buffer.begin() + sector, file.begin() + i * sector));
    }
    ok = ok && b.driver->setVerifyLater(h, 0) == 1;
    b.driver->close(h);
    return ok;
}

bool g_allWithin = true;
bool g_targetsMet = true;
// One connection check as the program makes it: open, self-test, chip set-up (the
// id read and, for a chip the database lacks, one SFDP read), the chip query and
// the close, with its USB round trips.
void connectionCheck(Bench& b, const char* what, const char* identification, double idTargetMs) {
    const auto before = b.device->statistics();
    const double start = b.device->hostUs();
    const int32_t handle = b.driver->open(0);
    int32_t kind = 0;
    int32_t code = 0;
    ChipInfo info;
    bool ok = handle > 0 && b.driver->selfTest(handle) == 1;
    // The identification alone: the id read and the database look-up, or the SFDP read.
    const auto idBefore = b.device->statistics();
    const double idStart = b.device->hostUs();
    ok = ok && b.driver->setFlashInfo(handle, 5, kChipSize) == 1;
    const double idUs = b.device->hostUs() - idStart;
    const uint64_t idTrips = b.device->statistics().roundTrips - idBefore.roundTrips;
    ok =
        ok && b.driver->getFlashInfo(handle, &kind, &code) == 1 && b.driver->chipIdentity(handle, &info) == 1;
    b.driver->close(handle);
    const double us = b.device->hostUs() - start;
    const char* source = info.source == IdentitySource::Database ? "database"
                         : info.source == IdentitySource::Sfdp   ? "SFDP"
                                                                 : "unknown";
    const uint64_t trips = b.device->statistics().roundTrips - before.roundTrips;
    if (!ok) {
        std::fprintf(stderr, "%s: connection check failed\n", b.name.c_str());
        std::exit(1);
    }
    std::printf("  %-36s %10.3f ms  %llu round trips, identity from %s, code %d\n", what, us / 1e3,
                static_cast<unsigned long long>(trips), source, static_cast<int>(code));
    std::printf("  %-36s %10.3f ms  %llu round trips", identification, idUs / 1e3,
                static_cast<unsigned long long>(idTrips));
    if (idTargetMs > 0) {
        const bool met = idUs / 1e3 < idTargetMs;
        g_targetsMet = g_targetsMet && met;
        std::printf("  target < %.0f ms: %s", idTargetMs, met ? "met" : "MISSED");
    }
    std::printf("\n");
}

void row(const char* what, const Figures& f, double limitUs, uint32_t bytes, double targetS = 0) {
    const double ratio = f.us / limitUs;
    g_allWithin = g_allWithin && ratio <= 1.25;
    std::printf("  %-36s %10.3f s %10.3f s %6.3f %s %9llu %12llu %9.1f kB/s", what, f.us / 1e6, limitUs / 1e6,
                ratio, ratio <= 1.25 ? "ok  " : "OVER", static_cast<unsigned long long>(f.roundTrips),
                static_cast<unsigned long long>(f.wireBytes), bytes ? bytes / f.us * 1e3 : 0.0);
    if (targetS > 0) {
        const bool met = f.us / 1e6 <= targetS;
        g_targetsMet = g_targetsMet && met;
        std::printf("  target <= %.1f s: %s", targetS, met ? "met" : "MISSED");
    }
    std::printf("\n");
}

void run(Bench& b) {
    b.handle = b.driver->open(0);
    if (b.handle <= 0 || b.driver->selfTest(b.handle) != 1 ||
        b.driver->setFlashInfo(b.handle, 5, kChipSize) != 1 || b.driver->setWriteTime(b.handle, 500) != 1) {
        std::fprintf(stderr, "%s: cannot connect\n", b.name.c_str());
        std::exit(1);
    }
    std::vector<uint8_t> image(kChipSize);
    uint32_t x = 12345;
    for (uint8_t& byte : image) {
        x = x * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(x >> 16);
        byte = byte == 0xFF ? 0x7F : byte;  // no page of the full image is blank
    }
    std::vector<uint8_t> half = image;
    std::fill(half.begin() + kChipSize / 2, half.end(), uint8_t{0xFF});

    std::printf("%s\n  %-36s %12s %12s %6s %4s %9s %12s %14s\n", b.name.c_str(), "operation", "modelled",
                "limit", "ratio", "", "round trips", "bytes on wire", "rate");
    const uint32_t pages = kChipSize / kPage;
    const Figures erase = measure(b, [&] { return b.driver->initFlash(b.handle) == 1; });
    row("erase + blank check", erase, eraseLimitUs(b), 0);
    const Figures program = measure(b, [&] { return programImage(b, image); });
    row("program (after erase)", program, programLimitUs(b, pages), kChipSize);
    const Figures verify = measure(b, [&] { return readChip(b, &image); });
    row("verify", verify, readLimitUs(b, kChipSize), kChipSize);
    const Figures read = measure(b, [&] { return readChip(b, nullptr); });
    row("read", read, readLimitUs(b, kChipSize), kChipSize);
    const Figures full = measure(b, [&] { return autoSequence(b, image); });
    row("auto, full image", full, autoLimitUs(b, pages), kChipSize, b.autoTargetS);
    const Figures autoHalf = measure(b, [&] { return autoSequence(b, half); });
    row("auto, half-empty image", autoHalf, autoLimitUs(b, pages / 2), kChipSize);
    b.driver->close(b.handle);
    // The chip holds the half-empty image; the file differs from it in one sector
    // of the written half, with bits to set: that sector needs an erase.
    std::vector<uint8_t> changed = half;
    const uint32_t sector = 0x345000;
    for (uint32_t i = 0; i < kSector; ++i) {
        changed[sector + i] = static_cast<uint8_t>(~half[sector + i]);
    }
    uint32_t touched = 0;
    const Figures oneSector = measure(b, [&] { return changedWrite(b, changed, &touched) && touched == 1; });
    row("write --changed, one sector differs", oneSector, changedLimitUs(b), kChipSize, b.changedTargetS);
    connectionCheck(b, "connection check", "identification (9F + database)", b.identifyTargetMs);
}

}  // namespace

int main() {
    // A fresh directory: no configuration file, so the USB programmers are selected.
    const auto dir = std::filesystem::temp_directory_path() / ("usb-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);

    std::printf("USB programmer benchmark (modelled figures on the emulators, not measured on hardware)\n");
    std::printf("chip: 8 MiB W25Q64, page program %u us, chip erase %u s (typical)\n", kPageProgramUs,
                kChipEraseUs / 1'000'000);
    std::vector<Bench> benches;
    {
        Bench b{"CH341A: USB full speed, SPI 1.5 MHz",
                8.0 / 1.5,
                std::make_shared<emulator::Ch341aEmulator>("1-1", w25q64()),
                nullptr,
                0,
                175,
                60,
                5};
        benches.push_back(std::move(b));
    }
    {
        Bench b{"CH347T: USB high speed, SPI 15 MHz (spi_clock_khz default)",
                8.0 / 15.0,
                std::make_shared<emulator::Ch347Emulator>("1-2", 0x55DB, w25q64()),
                nullptr,
                0,
                56,
                6.5};
        benches.push_back(std::move(b));
    }
    // The library looks beside its own file, which this statically linked program
    // is not: it is given the source tree's database instead.
    auto database = std::make_shared<ChipDatabase>();
    if (!database->addFile(FLASH_CHIPDB_FILE, "chipdb.txt",
                           [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); }) ||
        database->empty()) {
        std::fprintf(stderr, "cannot read the chip database %s\n", FLASH_CHIPDB_FILE);
        return 1;
    }
    const Driver::DatabaseSource rows = [database] { return database; };
    for (Bench& b : benches) {
        auto bus = std::make_shared<emulator::EmulatedUsbBus>();
        bus->attach(b.device);
        b.driver = std::make_unique<Driver>(createProgrammerBackend(bus), rows);
        run(b);
    }
    {
        // A chip no database row lists (Boya BY25Q128): sized from its SFDP table.
        const SimulatedChipModel model = simulatedChipModel(0x684018, 16u << 20, true, ChipDatabase{});
        Bench b{"CH341A, a chip known by SFDP only", 8.0 / 1.5,
                std::make_shared<emulator::Ch341aEmulator>(
                    "1-3",
                    std::make_unique<SimulatedChip>(model, std::vector<uint8_t>(model.size, 0xFF), nullptr)),
                nullptr};
        auto bus = std::make_shared<emulator::EmulatedUsbBus>();
        bus->attach(b.device);
        b.driver = std::make_unique<Driver>(createProgrammerBackend(bus), rows);
        std::printf("%s\n", b.name.c_str());
        connectionCheck(b, "connection check, id+SFDP", "identification (9F + SFDP)", 5);
    }
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    std::printf("every operation within 1.25 x its physical limit: %s\n", g_allWithin ? "yes" : "NO");
    std::printf("every target met: %s\n", g_targetsMet ? "yes" : "NO");
    return g_allWithin && g_targetsMet ? 0 : 1;
}
