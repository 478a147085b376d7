#include "platform/DriverTrace.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdarg>
#include <mutex>

namespace {

// The active trace: the wrapped table's functions reach it here.
struct ActiveTrace {
    std::mutex mutex;
    FILE* file = nullptr;
    DriverApi real;
    std::function<double()> clock;
    double start = 0;
    bool failed = false;  // a line could not be written (disk full, I/O error)
};

ActiveTrace& Active() {
    static ActiveTrace active;
    return active;
}

// One call: the time it took and its line.
class Call {
public:
    Call() : m_begin(Active().clock()) {}

    // Appends printf-style text to the line.
    [[gnu::format(printf, 2, 3)]] void Add(const char* format, ...) {
        va_list args;
        va_start(args, format);
        const int room = static_cast<int>(sizeof m_line) - m_length;
        if (room > 1) {
            const int n = std::vsnprintf(m_line + m_length, static_cast<size_t>(room), format, args);
            if (n > 0) m_length += n < room ? n : room - 1;
        }
        va_end(args);
    }

    void Write() {
        ActiveTrace& active = Active();
        const double end = active.clock();
        std::lock_guard<std::mutex> lock(active.mutex);
        if (active.file == nullptr) return;
        const bool written = std::fprintf(active.file, "%.6f %s (%.3f ms)\n", m_begin - active.start, m_line,
                                          (end - m_begin) * 1000) >= 0;
        // Kept line by line: a crash in the driver must not take the trace with it.
        if (!written || std::fflush(active.file) != 0) active.failed = true;
    }

private:
    double m_begin;
    char m_line[512] = {};
    int m_length = 0;
};

int32_t VELMOR_CALL TraceEnum() {
    Call call;
    const int32_t result = Active().real.QuovixEnum();
    call.Add("QuovixEnum() = %" PRId32, result);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceOpen(int32_t index) {
    Call call;
    const int32_t result = Active().real.QuovixOpen(index);
    call.Add("QuovixOpen(%" PRId32 ") = %" PRId32, index, result);
    call.Write();
    return result;
}

// The entry points that take a handle alone.
template <DriverApi::HandleFn DriverApi::*Entry>
int32_t VELMOR_CALL TraceHandle(int32_t handle) {
    Call call;
    const int32_t result = (Active().real.*Entry)(handle);
    call.Add("%s(%" PRId32 ") = %" PRId32,
             Entry == &DriverApi::QuovixClose         ? "QuovixClose"
             : Entry == &DriverApi::QuovixUsbSelfTest ? "QuovixUsbSelfTest"
                                                      : "QuovixInitFlash",
             handle, result);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceSetBP1(int32_t handle, int32_t value) {
    Call call;
    const int32_t result = Active().real.QuovixSetBP1(handle, value);
    call.Add("QuovixSetBP1(%" PRId32 ", %" PRId32 ") = %" PRId32, handle, value, result);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceSetFlashInfo(int32_t handle, int32_t kind, int32_t size) {
    Call call;
    const int32_t result = Active().real.QuovixSetFlashInfo(handle, kind, size);
    call.Add("QuovixSetFlashInfo(%" PRId32 ", %" PRId32 ", %" PRId32 ") = %" PRId32, handle, kind, size,
             result);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceSetWriteTime(int32_t handle, int32_t time) {
    Call call;
    const int32_t result = Active().real.QuovixSetWriteTime(handle, time);
    call.Add("QuovixSetWriteTime(%" PRId32 ", %" PRId32 ") = %" PRId32, handle, time, result);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceProgram(int32_t handle, const uint8_t* data, uint32_t length, uint32_t address,
                                 uint32_t* done) {
    Call call;
    const uint32_t doneIn = done != nullptr ? *done : 0;
    const int32_t result = Active().real.QuovixProgram(handle, data, length, address, done);
    call.Add("QuovixProgram(%" PRId32 ", data[%" PRIu32 "], %" PRIu32 ", 0x%" PRIX32 ", 0x%" PRIX32
             ") = %" PRId32 " done=0x%" PRIX32,
             handle, length, length, address, doneIn, result, done != nullptr ? *done : 0);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceRead(int32_t handle, uint8_t* buffer, uint32_t length, uint32_t address,
                              uint32_t* done) {
    Call call;
    const uint32_t doneIn = done != nullptr ? *done : 0;
    const int32_t result = Active().real.QuovixRead(handle, buffer, length, address, done);
    call.Add("QuovixRead(%" PRId32 ", buffer[%" PRIu32 "], %" PRIu32 ", 0x%" PRIX32 ", 0x%" PRIX32
             ") = %" PRId32 " done=0x%" PRIX32,
             handle, length, length, address, doneIn, result, done != nullptr ? *done : 0);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceGetFlashInfo(int32_t handle, int32_t* kind, int32_t* code) {
    Call call;
    const int32_t result = Active().real.QuovixGetFlashInfo(handle, kind, code);
    call.Add("QuovixGetFlashInfo(%" PRId32 ") = %" PRId32 " kind=%" PRId32 " code=%" PRId32, handle, result,
             kind != nullptr ? *kind : 0, code != nullptr ? *code : 0);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceLastFailure() {
    Call call;
    const int32_t result = Active().real.QuovixLastFailure();
    call.Add("QuovixLastFailure() = %" PRId32, result);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceGetChipIdentity(int32_t handle, VelmorChipIdentity* identity) {
    Call call;
    const int32_t result = Active().real.QuovixGetChipIdentity(handle, identity);
    call.Add("QuovixGetChipIdentity(%" PRId32 ") = %" PRId32, handle, result);
    if (result != 0 && identity != nullptr)
        call.Add(" jedec=0x%06" PRIX32 " source=%" PRId32 " size=%" PRIu32, identity->jedec_id,
                 identity->source, identity->size);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceSetVerifyLater(int32_t handle, int32_t value) {
    Call call;
    const int32_t result = Active().real.QuovixSetVerifyLater(handle, value);
    call.Add("QuovixSetVerifyLater(%" PRId32 ", %" PRId32 ") = %" PRId32, handle, value, result);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceGetVersion(char* buffer, int32_t size) {
    Call call;
    const int32_t result = Active().real.QuovixGetVersion(buffer, size);
    call.Add("QuovixGetVersion(buffer[%" PRId32 "], %" PRId32 ") = %" PRId32, size, size, result);
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceGetEraseBlocks(int32_t handle, VelmorEraseBlocks* blocks) {
    Call call;
    const int32_t result = Active().real.QuovixGetEraseBlocks(handle, blocks);
    call.Add("QuovixGetEraseBlocks(%" PRId32 ") = %" PRId32, handle, result);
    if (result != 0 && blocks != nullptr) {
        call.Add(" count=%" PRIu32, blocks->count);
        for (uint32_t i = 0; i < blocks->count && i < 4; ++i)
            call.Add(" %" PRIu32 ":%02" PRIX32, blocks->size[i], blocks->opcode[i]);
        call.Add(" chip_erase_ms=%" PRIu32, blocks->chip_erase_ms);
    }
    call.Write();
    return result;
}

int32_t VELMOR_CALL TraceEraseRange(int32_t handle, uint32_t address, uint32_t length, uint32_t* done) {
    Call call;
    const int32_t result = Active().real.QuovixEraseRange(handle, address, length, done);
    call.Add("QuovixEraseRange(%" PRId32 ", 0x%" PRIX32 ", 0x%" PRIX32 ") = %" PRId32, handle, address,
             length, result);
    if (done != nullptr) call.Add(" done=0x%" PRIX32, *done);
    call.Write();
    return result;
}

// The traced entry, or null where the real table has none.
template <typename Fn>
Fn Traced(Fn real, Fn trace) {
    return real != nullptr ? trace : nullptr;
}

}  // namespace

DriverTrace::~DriverTrace() {
    Close();
}

bool DriverTrace::Open(const std::string& path, std::function<double()> clock) {
    ActiveTrace& active = Active();
    std::lock_guard<std::mutex> lock(active.mutex);
    if (active.file != nullptr || m_file != nullptr) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    m_file = ::fdopen(fd, "w");
    if (m_file == nullptr) {
        ::close(fd);
        return false;
    }
    active.file = m_file;
    active.failed = false;
    active.clock = std::move(clock);
    active.start = active.clock();
    return true;
}

DriverApi DriverTrace::Wrap(const DriverApi& real) {
    Active().real = real;
    DriverApi api;
    api.QuovixEnum = Traced(real.QuovixEnum, &TraceEnum);
    api.QuovixOpen = Traced(real.QuovixOpen, &TraceOpen);
    api.QuovixClose = Traced(real.QuovixClose, &TraceHandle<&DriverApi::QuovixClose>);
    api.QuovixUsbSelfTest = Traced(real.QuovixUsbSelfTest, &TraceHandle<&DriverApi::QuovixUsbSelfTest>);
    api.QuovixSetBP1 = Traced(real.QuovixSetBP1, &TraceSetBP1);
    api.QuovixSetFlashInfo = Traced(real.QuovixSetFlashInfo, &TraceSetFlashInfo);
    api.QuovixSetWriteTime = Traced(real.QuovixSetWriteTime, &TraceSetWriteTime);
    api.QuovixInitFlash = Traced(real.QuovixInitFlash, &TraceHandle<&DriverApi::QuovixInitFlash>);
    api.QuovixProgram = Traced(real.QuovixProgram, &TraceProgram);
    api.QuovixRead = Traced(real.QuovixRead, &TraceRead);
    api.QuovixGetFlashInfo = Traced(real.QuovixGetFlashInfo, &TraceGetFlashInfo);
    api.QuovixLastFailure = Traced(real.QuovixLastFailure, &TraceLastFailure);
    api.QuovixGetChipIdentity = Traced(real.QuovixGetChipIdentity, &TraceGetChipIdentity);
    api.QuovixSetVerifyLater = Traced(real.QuovixSetVerifyLater, &TraceSetVerifyLater);
    api.QuovixGetVersion = Traced(real.QuovixGetVersion, &TraceGetVersion);
    api.QuovixGetEraseBlocks = Traced(real.QuovixGetEraseBlocks, &TraceGetEraseBlocks);
    api.QuovixEraseRange = Traced(real.QuovixEraseRange, &TraceEraseRange);
    return api;
}

bool DriverTrace::Close() {
    ActiveTrace& active = Active();
    std::lock_guard<std::mutex> lock(active.mutex);
    if (m_file == nullptr) return true;
    const bool closed = std::fclose(m_file) == 0;
    if (active.file == m_file) active.file = nullptr;
    m_file = nullptr;
    return closed && !active.failed;
}
