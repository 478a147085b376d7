#include "FakeDriver.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

namespace {
std::atomic<FakeDriver*> g_instance{nullptr};
constexpr uint32_t kMaxTransfer = 8192;

int32_t Forward(FakeCall call, uint8_t* readBuffer = nullptr, const uint8_t* programData = nullptr,
                uint32_t* done = nullptr, int32_t* kind = nullptr, int32_t* code = nullptr,
                VelmorEraseBlocks* blocks = nullptr) {
    FakeDriver* fake = g_instance.load();
    // A table used after its fake is gone fails like an unplugged programmer.
    if (!fake) return 0;
    return fake->Enter(std::move(call), readBuffer, programData, done, kind, code, blocks);
}

int32_t VELMOR_CALL FakeLastFailure() {
    FakeDriver* fake = g_instance.load();
    return fake ? fake->LastFailure() : 0;
}

int32_t VELMOR_CALL FakeEnum() {
    return Forward({FakeEntry::Enum, {}, {}});
}
int32_t VELMOR_CALL FakeOpen(int32_t index) {
    return Forward({FakeEntry::Open, {index}, {}});
}
int32_t VELMOR_CALL FakeClose(int32_t h) {
    return Forward({FakeEntry::Close, {h}, {}});
}
int32_t VELMOR_CALL FakeSelfTest(int32_t h) {
    return Forward({FakeEntry::UsbSelfTest, {h}, {}});
}
int32_t VELMOR_CALL FakeSetBp1(int32_t h, int32_t v) {
    return Forward({FakeEntry::SetBP1, {h, v}, {}});
}
int32_t VELMOR_CALL FakeSetFlashInfo(int32_t h, int32_t kind, int32_t size) {
    return Forward({FakeEntry::SetFlashInfo, {h, kind, size}, {}});
}
int32_t VELMOR_CALL FakeSetWriteTime(int32_t h, int32_t t) {
    return Forward({FakeEntry::SetWriteTime, {h, t}, {}});
}
int32_t VELMOR_CALL FakeInitFlash(int32_t h) {
    return Forward({FakeEntry::InitFlash, {h}, {}});
}
int32_t VELMOR_CALL FakeProgram(int32_t h, const uint8_t* data, uint32_t length, uint32_t address,
                                uint32_t* done) {
    FakeCall call{FakeEntry::Program, {h, length, address}, {}};
    if (data && length <= kMaxTransfer) call.data.assign(data, data + length);
    return Forward(std::move(call), nullptr, data, done);
}
int32_t VELMOR_CALL FakeRead(int32_t h, uint8_t* buffer, uint32_t length, uint32_t address, uint32_t* done) {
    return Forward({FakeEntry::Read, {h, length, address}, {}}, buffer, nullptr, done);
}
int32_t VELMOR_CALL FakeGetFlashInfo(int32_t h, int32_t* kind, int32_t* code) {
    return Forward({FakeEntry::GetFlashInfo, {h}, {}}, nullptr, nullptr, nullptr, kind, code);
}

int32_t VELMOR_CALL FakeSetVerifyLater(int32_t h, int32_t value) {
    return Forward({FakeEntry::SetVerifyLater, {h, value}, {}});
}

int32_t VELMOR_CALL FakeGetEraseBlocks(int32_t h, VelmorEraseBlocks* blocks) {
    return Forward({FakeEntry::GetEraseBlocks, {h}, {}}, nullptr, nullptr, nullptr, nullptr, nullptr, blocks);
}

int32_t VELMOR_CALL FakeEraseRange(int32_t h, uint32_t address, uint32_t length, uint32_t* done) {
    return Forward({FakeEntry::EraseRange, {h, address, length}, {}}, nullptr, nullptr, done);
}

bool IsTransfer(FakeEntry e) {
    return e == FakeEntry::Program || e == FakeEntry::Read;
}
}  // namespace

std::string EntryName(FakeEntry entry) {
    switch (entry) {
        case FakeEntry::Enum:
            return "QuovixEnum";
        case FakeEntry::Open:
            return "QuovixOpen";
        case FakeEntry::Close:
            return "QuovixClose";
        case FakeEntry::UsbSelfTest:
            return "QuovixUsbSelfTest";
        case FakeEntry::SetBP1:
            return "QuovixSetBP1";
        case FakeEntry::SetFlashInfo:
            return "QuovixSetFlashInfo";
        case FakeEntry::SetWriteTime:
            return "QuovixSetWriteTime";
        case FakeEntry::InitFlash:
            return "QuovixInitFlash";
        case FakeEntry::Program:
            return "QuovixProgram";
        case FakeEntry::Read:
            return "QuovixRead";
        case FakeEntry::GetFlashInfo:
            return "QuovixGetFlashInfo";
        case FakeEntry::SetVerifyLater:
            return "QuovixSetVerifyLater";
        case FakeEntry::GetEraseBlocks:
            return "QuovixGetEraseBlocks";
        case FakeEntry::EraseRange:
            return "QuovixEraseRange";
    }
    return "?";
}

std::string FakeCall::Text() const {
    std::string text = EntryName(entry) + "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) text += ',';
        text += std::to_string(args[i]);
    }
    return text + ")";
}

FakeDriver::FakeDriver() {
    FakeDriver* expected = nullptr;
    if (!g_instance.compare_exchange_strong(expected, this))
        throw std::logic_error("only one FakeDriver may live at a time");
}

FakeDriver::~FakeDriver() {
    g_instance = nullptr;
}

DriverApi FakeDriver::Api() const {
    std::lock_guard lock(m_mutex);
    auto has = [this](FakeEntry e) { return m_removed.count(e) == 0; };
    DriverApi api;
    if (has(FakeEntry::Enum)) api.QuovixEnum = FakeEnum;
    if (has(FakeEntry::Open)) api.QuovixOpen = FakeOpen;
    if (has(FakeEntry::Close)) api.QuovixClose = FakeClose;
    if (has(FakeEntry::UsbSelfTest)) api.QuovixUsbSelfTest = FakeSelfTest;
    if (has(FakeEntry::SetBP1)) api.QuovixSetBP1 = FakeSetBp1;
    if (has(FakeEntry::SetFlashInfo)) api.QuovixSetFlashInfo = FakeSetFlashInfo;
    if (has(FakeEntry::SetWriteTime)) api.QuovixSetWriteTime = FakeSetWriteTime;
    if (has(FakeEntry::InitFlash)) api.QuovixInitFlash = FakeInitFlash;
    if (has(FakeEntry::Program)) api.QuovixProgram = FakeProgram;
    if (has(FakeEntry::Read)) api.QuovixRead = FakeRead;
    if (has(FakeEntry::GetFlashInfo)) api.QuovixGetFlashInfo = FakeGetFlashInfo;
    if (has(FakeEntry::SetVerifyLater)) api.QuovixSetVerifyLater = FakeSetVerifyLater;
    if (has(FakeEntry::GetEraseBlocks)) api.QuovixGetEraseBlocks = FakeGetEraseBlocks;
    if (has(FakeEntry::EraseRange)) api.QuovixEraseRange = FakeEraseRange;
    api.QuovixLastFailure = FakeLastFailure;
    return api;
}

void FakeDriver::SetFailureReason(int32_t reason) {
    std::lock_guard lock(m_mutex);
    m_failureReason = reason;
}

int32_t FakeDriver::LastFailure() const {
    std::lock_guard lock(m_mutex);
    return m_lastFailure;
}

void FakeDriver::Remove(FakeEntry entry) {
    std::lock_guard lock(m_mutex);
    m_removed.insert(entry);
}

void FakeDriver::SetChip(std::vector<uint8_t> contents) {
    std::lock_guard lock(m_mutex);
    m_chip = std::move(contents);
}

void FakeDriver::SetChipSize(size_t size, uint8_t fill) {
    std::lock_guard lock(m_mutex);
    m_chip.assign(size, fill);
}

std::vector<uint8_t> FakeDriver::Chip() const {
    std::lock_guard lock(m_mutex);
    return m_chip;
}

void FakeDriver::SetChipInfo(int32_t kind, int32_t code) {
    std::lock_guard lock(m_mutex);
    m_chipInfoSet = true;
    m_kind = kind;
    m_code = code;
}

void FakeDriver::SetOpenHandle(int32_t handle) {
    std::lock_guard lock(m_mutex);
    m_handle = handle;
}

void FakeDriver::SetEraseBlocks(const VelmorEraseBlocks& blocks) {
    std::lock_guard lock(m_mutex);
    m_eraseBlocks = blocks;
}

void FakeDriver::SetResult(FakeEntry entry, int32_t result) {
    std::lock_guard lock(m_mutex);
    m_results[entry] = result;
}

void FakeDriver::QueueResults(FakeEntry entry, std::vector<int32_t> results) {
    std::lock_guard lock(m_mutex);
    auto& queue = m_queued[entry];
    queue.insert(queue.end(), results.begin(), results.end());
}

void FakeDriver::FailCall(FakeEntry entry, int n) {
    std::lock_guard lock(m_mutex);
    m_overrides[{entry, n}].fail = true;
}

void FakeDriver::ReportOnCall(FakeEntry entry, int n, uint32_t done) {
    std::lock_guard lock(m_mutex);
    Override& o = m_overrides[{entry, n}];
    o.hasReport = true;
    o.report = done;
}

void FakeDriver::LimitTransfers(FakeEntry entry, uint32_t maxBytes) {
    std::lock_guard lock(m_mutex);
    m_limits[entry] = maxBytes;
}

std::vector<FakeCall> FakeDriver::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

std::vector<std::string> FakeDriver::CallTexts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& c : m_calls) texts.push_back(c.Text());
    return texts;
}

std::vector<std::string> FakeDriver::CallTexts(FakeEntry entry) const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& c : m_calls)
        if (c.entry == entry) texts.push_back(c.Text());
    return texts;
}

int FakeDriver::CallCount(FakeEntry entry) const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_calls.begin(), m_calls.end(),
                                          [entry](const FakeCall& c) { return c.entry == entry; }));
}

std::vector<std::string> FakeDriver::Violations() const {
    std::lock_guard lock(m_mutex);
    return m_violations;
}

void FakeDriver::ClearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

void FakeDriver::SetHook(std::function<void(const FakeCall&)> hook) {
    std::lock_guard lock(m_mutex);
    m_hook = std::move(hook);
}

void FakeDriver::CheckContract(const FakeCall& call, const uint32_t* done) {
    const std::string text = call.Text();
    if (call.entry == FakeEntry::SetBP1) m_violations.push_back("SetBP1 called: " + text);
    const bool takesHandle = call.entry != FakeEntry::Enum && call.entry != FakeEntry::Open;
    // Closing a handle from a failed open is expected; anything else needs the open handle.
    if (takesHandle && call.entry != FakeEntry::Close && (!m_isOpen || call.args[0] != m_openHandle))
        m_violations.push_back("call on a handle that is not open: " + text);
    if (call.entry == FakeEntry::Close && m_isOpen && call.args[0] != m_openHandle)
        m_violations.push_back("close of a foreign handle: " + text);
    if (IsTransfer(call.entry)) {
        const int64_t length = call.args[1];
        if (length < 1 || length > kMaxTransfer) m_violations.push_back("length outside 1..8192: " + text);
        if (!done)
            m_violations.push_back("no done pointer: " + text);
        else if (*done != static_cast<uint32_t>(call.args[2]))
            m_violations.push_back("done does not hold the address on entry: " + text);
    }
    if (call.entry == FakeEntry::EraseRange) {
        const int64_t unit = m_eraseBlocks.count > 0 ? m_eraseBlocks.size[0] : 0;
        if (unit == 0 || call.args[1] % unit != 0 || call.args[2] % unit != 0)
            m_violations.push_back("block erase not aligned to the smallest block: " + text);
        else if (call.args[1] + call.args[2] > m_setUpSize)
            m_violations.push_back("block erase past the size set: " + text);
        if (!done) m_violations.push_back("no done pointer: " + text);
    }
}

int32_t FakeDriver::Enter(FakeCall call, uint8_t* readBuffer, const uint8_t* programData, uint32_t* done,
                          int32_t* kind, int32_t* code, VelmorEraseBlocks* blocks) {
    int32_t result;
    std::function<void(const FakeCall&)> hook;
    {
        std::lock_guard lock(m_mutex);
        CheckContract(call, done);
        const int index = ++m_counts[call.entry];
        result = Execute(call, index, readBuffer, programData, done, kind, code, blocks);
        // As the library: these set the reason, to none when they succeed.
        if (call.entry == FakeEntry::Open) m_lastFailure = result < 0 ? m_failureReason : 0;
        if (call.entry == FakeEntry::InitFlash || call.entry == FakeEntry::Program ||
            call.entry == FakeEntry::EraseRange)
            m_lastFailure = result == 0 ? m_failureReason : 0;
        m_calls.push_back(call);
        hook = m_hook;
    }
    if (hook) hook(call);
    return result;
}

int32_t FakeDriver::EraseRange(const FakeCall& call, const Override& over, int32_t result, uint32_t* done) {
    if (!done) return 0;
    *done = 0;
    const uint64_t address = static_cast<uint64_t>(call.args[1]);
    const uint64_t length = static_cast<uint64_t>(call.args[2]);
    const uint64_t unit = m_eraseBlocks.count > 0 ? m_eraseBlocks.size[0] : 0;
    // As the library: only whole smallest blocks, within the size SetFlashInfo gave.
    if (unit == 0 || address % unit != 0 || length % unit != 0) return 0;
    if (address + length > static_cast<uint64_t>(m_setUpSize) || address + length > m_chip.size()) return 0;
    const uint64_t erased =
        result == 0 ? std::min<uint64_t>(over.hasReport ? over.report : 0, length) : length;
    std::fill(m_chip.begin() + static_cast<std::ptrdiff_t>(address),
              m_chip.begin() + static_cast<std::ptrdiff_t>(address + erased), 0xFF);
    *done = static_cast<uint32_t>(erased);
    return result;
}

int32_t FakeDriver::Execute(const FakeCall& call, int index, uint8_t* readBuffer, const uint8_t* programData,
                            uint32_t* done, int32_t* kind, int32_t* code, VelmorEraseBlocks* blocks) {
    const FakeEntry entry = call.entry;
    Override over;
    if (auto it = m_overrides.find({entry, index}); it != m_overrides.end()) over = it->second;

    // The result of this call: scripted, queued, default.
    int32_t result = 1;
    if (entry == FakeEntry::Open) result = m_handle;
    if (auto it = m_results.find(entry); it != m_results.end()) result = it->second;
    if (auto it = m_queued.find(entry); it != m_queued.end() && !it->second.empty()) {
        result = it->second.front();
        it->second.erase(it->second.begin());
    }
    if (over.fail) result = 0;

    // As the library: work needs the open connection, and transfers and the erase
    // need the chip set up by SetFlashInfo on it.
    const bool onOpenHandle = m_isOpen && entry != FakeEntry::Enum && call.args[0] == m_openHandle;
    const bool takesHandle =
        entry != FakeEntry::Enum && entry != FakeEntry::Open && entry != FakeEntry::Close;
    if (takesHandle && !onOpenHandle) return 0;
    const bool erases = entry == FakeEntry::InitFlash || entry == FakeEntry::EraseRange;
    if ((IsTransfer(entry) || erases) && !m_chipSetUp) {
        if (done && entry == FakeEntry::EraseRange) *done = 0;
        return 0;
    }

    switch (entry) {
        case FakeEntry::Open:
            // One connection per programmer.
            if (m_isOpen) return -1;
            if (result >= 0) {
                m_isOpen = true;
                m_openHandle = result;
            }
            return result;
        case FakeEntry::Close:
            // Closing an unknown handle is harmless and says so.
            if (!onOpenHandle) return 0;
            m_isOpen = false;
            m_chipSetUp = false;
            return result;
        case FakeEntry::SetFlashInfo:
            // Every call starts the set-up afresh; only kind 5 and a size >= 0 pass.
            m_chipSetUp = false;
            if (call.args[1] != 5 || call.args[2] < 0) return 0;
            m_chipSetUp = result != 0;
            m_setUpSize = call.args[2];
            return result;
        case FakeEntry::GetFlashInfo:
            if (!kind || !code) return 0;
            if (result != 0) {
                if (m_chipInfoSet) {
                    *kind = m_kind;
                    *code = m_code;
                } else {
                    int32_t c = 16;
                    for (size_t size = 131072; size < m_chip.size(); size *= 2) ++c;
                    const bool powerOfTwo =
                        m_chip.size() >= 131072 && (m_chip.size() & (m_chip.size() - 1)) == 0;
                    *kind = powerOfTwo ? 5 : 0;
                    *code = powerOfTwo ? c : 0;
                }
            }
            return result;
        case FakeEntry::InitFlash:
            if (result != 0) std::fill(m_chip.begin(), m_chip.end(), 0xFF);
            return result;
        case FakeEntry::GetEraseBlocks:
            if (!blocks) return 0;
            if (result != 0) *blocks = m_eraseBlocks;
            return result;
        case FakeEntry::EraseRange:
            return EraseRange(call, over, result, done);
        case FakeEntry::Program:
        case FakeEntry::Read: {
            const uint32_t length = static_cast<uint32_t>(call.args[1]);
            const uint32_t address = static_cast<uint32_t>(call.args[2]);
            const bool hasBytes = entry == FakeEntry::Read ? readBuffer != nullptr : programData != nullptr;
            if (result == 0 || !done || !hasBytes || length == 0 || length > kMaxTransfer) return 0;
            // As the library: a read brings what lies between the address and the
            // chip's end; a program that does not fit whole fails.
            if (address >= m_chip.size()) return 0;
            if (entry == FakeEntry::Program && static_cast<uint64_t>(address) + length > m_chip.size())
                return 0;
            uint32_t moved = std::min({length, kMaxTransfer, static_cast<uint32_t>(m_chip.size() - address)});
            if (auto it = m_limits.find(entry); it != m_limits.end()) moved = std::min(moved, it->second);
            if (over.hasReport) moved = std::min(moved, over.report);
            if (entry == FakeEntry::Read && readBuffer)
                std::copy_n(m_chip.begin() + address, moved, readBuffer);
            if (entry == FakeEntry::Program && programData) {
                // NOR flash only clears bits; a byte that does not read back failed.
                bool readsBack = true;
                for (uint32_t i = 0; i < moved; ++i) {
                    m_chip[address + i] &= programData[i];
                    readsBack = readsBack && m_chip[address + i] == programData[i];
                }
                if (!readsBack) return 0;
            }
            if (done) *done = over.hasReport ? over.report : moved;
            return result;
        }
        default:
            return result;
    }
}
