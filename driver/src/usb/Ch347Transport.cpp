#include "Ch347Transport.h"

#include <algorithm>
#include <array>
#include <limits>

#include "Ch347Protocol.h"

namespace velmor {

namespace {

constexpr size_t kOutAnswer = 4;

bool frameIs(std::span<const uint8_t> frame, uint8_t command, size_t payload) {
    return frame.size() == ch347::kHeader + payload && frame[0] == command && frame[1] == (payload & 0xFF) &&
           frame[2] == (payload >> 8);
}

}  // namespace

Ch347Transport::Ch347Transport(std::unique_ptr<UsbPort> port, uint32_t clockKhz)
    : UsbSpiTransport(std::move(port)), m_divisor(ch347::divisorFor(clockKhz)) {}

Ch347Transport::~Ch347Transport() {
    if (present() && submitOut(ch347::chipSelectFrame(false, 0))) {
        reapAll();
    }
}

uint32_t Ch347Transport::clockHz() const {
    return ch347::clockHz(m_divisor);
}

bool Ch347Transport::start() {
    std::array<uint8_t, ch347::kHeader + 1> answer{};
    if (!submitOut(ch347::configFrame(m_divisor)) || !submitIn(answer) || !reapAll()) {
        return false;
    }
    if (answer[0] != ch347::kSetConfig) {
        fail();
        return false;
    }
    return true;
}

bool Ch347Transport::selfTest() {
    std::array<uint8_t, ch347::kHeader + ch347::kConfigLength> answer{};
    return submitOut(ch347::getConfigFrame()) && submitIn(answer) && reapAll() &&
           frameIs(answer, ch347::kGetConfig, ch347::kConfigLength);
}

bool Ch347Transport::run(std::span<const SpiCycle> cycles) {
    if (!present()) {
        return false;
    }
    // Room for every answer frame: one per out frame, one per 507 bytes read.
    size_t answerBytes = 0;
    for (const SpiCycle& cycle : cycles) {
        const size_t outFrames = (cycle.out.size() + ch347::kMaxPayload - 1) / ch347::kMaxPayload;
        const size_t inFrames = (cycle.in.size() + ch347::kMaxPayload - 1) / ch347::kMaxPayload;
        answerBytes += outFrames * kOutAnswer + inFrames * ch347::kHeader + cycle.in.size();
        if (cycle.in.size() > std::numeric_limits<uint32_t>::max()) {
            return false;
        }
    }
    std::vector<uint8_t> answers(answerBytes);
    // Each answer frame as submitted: where it lies and what it must be.
    struct Expected {
        size_t at;
        uint8_t command;
        size_t payload;
    };
    std::vector<Expected> expected;
    size_t answerAt = 0;
    uint32_t delayBefore = 0;
    const auto fails = [&] {
        reapAll();
        return false;
    };
    for (const SpiCycle& cycle : cycles) {
        const uint16_t delay = static_cast<uint16_t>(std::min<uint32_t>(delayBefore, 0xFFFF));
        if (!submitOut(ch347::chipSelectFrame(true, delay))) {
            return fails();
        }
        for (size_t sent = 0; sent < cycle.out.size();) {
            const size_t now = std::min(ch347::kMaxPayload, cycle.out.size() - sent);
            if (!submitOut(ch347::outFrame(cycle.out.subspan(sent, now))) ||
                !submitIn({answers.data() + answerAt, kOutAnswer})) {
                return fails();
            }
            expected.push_back({answerAt, ch347::kSpiOut, 1});
            answerAt += kOutAnswer;
            sent += now;
        }
        if (!cycle.in.empty()) {
            if (!submitOut(ch347::inFrame(static_cast<uint32_t>(cycle.in.size())))) {
                return fails();
            }
            for (size_t asked = 0; asked < cycle.in.size();) {
                const size_t now = std::min(ch347::kMaxPayload, cycle.in.size() - asked);
                if (!submitIn({answers.data() + answerAt, ch347::kHeader + now})) {
                    return fails();
                }
                expected.push_back({answerAt, ch347::kSpiIn, now});
                answerAt += ch347::kHeader + now;
                asked += now;
            }
        }
        if (!submitOut(ch347::chipSelectFrame(false, 0))) {
            return fails();
        }
        delayBefore = cycle.delayAfterUs;
    }
    if (delayBefore != 0) {
        // A select without clocks spends the last cycle's wait; the chip ignores it.
        const uint16_t delay = static_cast<uint16_t>(std::min<uint32_t>(delayBefore, 0xFFFF));
        if (!submitOut(ch347::chipSelectFrame(true, delay)) || !submitOut(ch347::chipSelectFrame(false, 0))) {
            return fails();
        }
    }
    if (!reapAll()) {
        return false;
    }
    for (const Expected& e : expected) {
        const size_t length = e.command == ch347::kSpiOut ? kOutAnswer : ch347::kHeader + e.payload;
        const std::span<const uint8_t> frame(answers.data() + e.at, length);
        if (!frameIs(frame, e.command, e.payload)) {
            fail();
            return false;
        }
    }
    auto next = expected.begin();
    for (const SpiCycle& cycle : cycles) {
        for (size_t copied = 0; copied < cycle.in.size();) {
            while (next->command != ch347::kSpiIn) {
                ++next;
            }
            std::copy_n(answers.begin() + static_cast<ptrdiff_t>(next->at + ch347::kHeader), next->payload,
                        cycle.in.begin() + static_cast<ptrdiff_t>(copied));
            copied += next->payload;
            ++next;
        }
    }
    return true;
}

}  // namespace velmor
