// The driver's transfer entry points with arbitrary handles, lengths, addresses
// and driver faults, on a 128 KiB simulated chip kept in memory. Besides the
// sanitizers, every answer is checked against a model of the chip: a refused
// call leaves `done`, the buffer and the chip alone; a read never brings more
// than the bytes up to the chip's end; what is read is what was programmed.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "Driver.h"
#include "SimulatedProgrammer.h"

namespace {

using velmor::Driver;
using velmor::FaultPlan;

constexpr uint32_t kChipSize = 128 * 1024;
constexpr uint32_t kJedec = 0xEF3011;  // states its size: 128 KiB
constexpr uint32_t kNotTouched = 0xA5A5A5A5;

void require(bool holds) {
    if (!holds) std::abort();
}

// One simulated programmer whose chip outlives connections, as the chip file does.
class MemoryBackend : public velmor::ProgrammerBackend {
public:
    explicit MemoryBackend(const FaultPlan& faults) : m_faults(faults), m_memory(kChipSize, 0xFF) {}
    int32_t count() override { return 1; }
    std::optional<velmor::OpenedProgrammer> open(int32_t index) override {
        if (index != 0) return std::nullopt;
        auto chip = std::make_unique<velmor::SimulatedChip>(kJedec, m_memory, nullptr);
        m_chip = chip.get();
        return velmor::OpenedProgrammer{std::make_unique<velmor::SimulatedProgrammer>(
                                            velmor::SimulatedProgrammer::Settings{}, std::move(chip)),
                                        m_faults};
    }
    // The chip of the open connection; its contents carry over to the next one.
    std::span<const uint8_t> contents() const { return m_chip ? m_chip->contents() : std::span(m_memory); }
    std::vector<uint8_t> snapshot() const { return {contents().begin(), contents().end()}; }
    // Keeps the chip's contents before its connection (and with it the chip) goes.
    void closing() {
        m_memory = snapshot();
        m_chip = nullptr;
    }

private:
    FaultPlan m_faults;
    std::vector<uint8_t> m_memory;
    velmor::SimulatedChip* m_chip = nullptr;
};

FaultPlan faultsFrom(FuzzedDataProvider& in) {
    FaultPlan f;
    f.failProgramCall = in.ConsumeIntegralInRange<uint32_t>(0, 8);
    f.failReadCall = in.ConsumeIntegralInRange<uint32_t>(0, 8);
    f.shortProgram = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 8192) : 0;
    f.shortRead = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 8192) : 0;
    f.zeroProgram = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    f.zeroRead = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    f.extraProgram = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    f.extraRead = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    return f;
}

// Lengths and addresses around the interesting edges, or anything at all.
uint32_t lengthFrom(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return in.ConsumeIntegralInRange<uint32_t>(0, 300);
        case 1:
            return in.ConsumeIntegralInRange<uint32_t>(8000, 8200);
        case 2:
            return in.ConsumeIntegralInRange<uint32_t>(0, 8192);
        default:
            return in.ConsumeIntegral<uint32_t>();
    }
}

uint32_t addressFrom(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            return in.ConsumeIntegralInRange<uint32_t>(0, kChipSize - 1);
        case 1:
            return kChipSize - 8200 + in.ConsumeIntegralInRange<uint32_t>(0, 8400);
        default:
            return in.ConsumeIntegral<uint32_t>();
    }
}

// A buffer of exactly the bytes the caller promises (one byte for a length the
// driver must refuse), so that any write past it is caught by the sanitizer.
std::vector<uint8_t> bufferFor(uint32_t length, uint8_t fill) {
    return std::vector<uint8_t>(length <= Driver::kMaxTransfer && length > 0 ? length : 1, fill);
}

struct Session {
    FaultPlan faults;
    MemoryBackend* backend;
    Driver driver;
    int32_t handle = -1;
    bool ready = false;  // QuovixSetFlashInfo succeeded on the open handle
    uint32_t readCalls = 0;
    uint32_t programCalls = 0;

    Session(const FaultPlan& f, std::unique_ptr<MemoryBackend> b)
        : faults(f), backend(b.get()), driver(std::move(b)) {}

    bool isOpen(int32_t h) const { return handle > 0 && h == handle; }

    void read(int32_t h, uint32_t length, uint32_t address, bool nullBuffer) {
        std::vector<uint8_t> buffer = bufferFor(length, 0x5A);
        uint32_t done = kNotTouched;
        readCalls += isOpen(h) ? 1 : 0;
        const int32_t ok = driver.read(h, nullBuffer ? nullptr : buffer.data(), length, address, &done);
        const bool allowed = isOpen(h) && ready && !nullBuffer && length >= 1 &&
                             length <= Driver::kMaxTransfer && address < kChipSize &&
                             readCalls != faults.failReadCall;
        require(ok == (allowed ? 1 : 0));
        if (!ok) {
            require(done == kNotTouched);
            if (length >= 1 && length <= Driver::kMaxTransfer)
                require(buffer == std::vector<uint8_t>(buffer.size(), 0x5A));
            return;
        }
        uint32_t delivered = std::min(length, kChipSize - address);
        if (faults.shortRead != 0) delivered = std::min(delivered, faults.shortRead);
        if (faults.zeroRead) delivered = 0;
        require(done == delivered + (faults.extraRead && !faults.zeroRead ? FaultPlan::kExtraReported : 0));
        const std::span<const uint8_t> chip = backend->contents();
        require(std::equal(buffer.begin(), buffer.begin() + delivered, chip.begin() + address));
        require(std::all_of(buffer.begin() + delivered, buffer.begin() + length,
                            [](uint8_t b) { return b == 0x5A; }));
    }

    void program(int32_t h, uint32_t length, uint32_t address, FuzzedDataProvider& in) {
        std::vector<uint8_t> data = bufferFor(length, 0x00);
        for (auto& b : data)
            b = in.ConsumeIntegralInRange<int>(0, 3) == 0 ? in.ConsumeIntegral<uint8_t>() : 0xFF;
        const std::vector<uint8_t> chip = backend->snapshot();
        uint32_t done = kNotTouched;
        programCalls += isOpen(h) ? 1 : 0;
        const int32_t ok = driver.program(h, data.data(), length, address, &done);
        const bool sound = isOpen(h) && ready && length >= 1 && length <= Driver::kMaxTransfer &&
                           uint64_t{address} + length <= kChipSize;
        const std::span<const uint8_t> after = backend->contents();
        if (!sound || programCalls == faults.failProgramCall) {
            require(ok == 0 && done == kNotTouched && std::equal(after.begin(), after.end(), chip.begin()));
            return;
        }
        if (!ok) {
            require(done == kNotTouched);
            return;  // bits that could not be set: the chip holds old AND new wherever it got to
        }
        uint32_t programmed = faults.shortProgram != 0 ? std::min(length, faults.shortProgram) : length;
        if (faults.zeroProgram) programmed = 0;
        require(done ==
                programmed + (faults.extraProgram && !faults.zeroProgram ? FaultPlan::kExtraReported : 0));
        // The programmed bytes hold the data; everything else is as it was.
        require(std::equal(after.begin(), after.begin() + address, chip.begin()));
        require(std::equal(data.begin(), data.begin() + programmed, after.begin() + address));
        require(std::equal(after.begin() + address + programmed, after.end(),
                           chip.begin() + address + programmed));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider in(bytes, size);
    const FaultPlan faults = faultsFrom(in);
    auto owned = std::make_unique<MemoryBackend>(faults);
    Session s(faults, std::move(owned));
    s.handle = s.driver.open(0);
    require(s.handle > 0);

    for (int step = 0; step < 48 && in.remaining_bytes() > 0; ++step) {
        const int32_t h =
            in.ConsumeIntegralInRange<int>(0, 7) == 0 ? in.ConsumeIntegral<int32_t>() : s.handle;
        switch (in.ConsumeIntegralInRange<int>(0, 5)) {
            case 0:
            case 1:
                s.read(h, lengthFrom(in), addressFrom(in), in.ConsumeIntegralInRange<int>(0, 15) == 0);
                break;
            case 2:
                s.program(h, lengthFrom(in), addressFrom(in), in);
                break;
            case 3: {
                const int32_t kind = in.ConsumeBool() ? 5 : in.ConsumeIntegral<int32_t>();
                const int32_t sizeArg = in.ConsumeBool() ? 0 : in.ConsumeIntegral<int32_t>();
                const int32_t ok = s.driver.setFlashInfo(h, kind, sizeArg);
                if (s.isOpen(h)) s.ready = ok == 1;
                require(ok == (s.isOpen(h) && kind == 5 && sizeArg >= 0 ? 1 : 0));
                break;
            }
            case 4: {
                const int32_t ok = s.driver.initFlash(h);
                const std::span<const uint8_t> chip = s.backend->contents();
                if (ok) require(std::all_of(chip.begin(), chip.end(), [](uint8_t b) { return b == 0xFF; }));
                break;
            }
            default: {
                // Close and open again: a fresh connection with fresh call counts.
                const bool open = s.isOpen(h);
                if (open) s.backend->closing();
                require(s.driver.close(h) == (open ? 1 : 0));
                if (open) {
                    s.handle = s.driver.open(0);
                    require(s.handle > 0);
                    s.ready = false;
                    s.readCalls = s.programCalls = 0;
                }
                break;
            }
        }
    }
    return 0;
}
