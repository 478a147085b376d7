#include <atomic>
#include <thread>

#include "VelmorTestSupport.h"

namespace velmortest {
namespace {

using VelmorConcurrency = VelmorTest;

// The worker programs and reads while the window thread looks up single bytes
// and the chip identity on the same connection.
TEST_F(VelmorConcurrency, TwoThreadsShareOneConnection) {
    const int32_t h = connect();
    const std::vector<uint8_t> data = pattern(64 * kBlock, 21);
    std::atomic<bool> workerDone{false};
    bool workerOk = true;
    std::thread worker([&] {
        workerOk = programAll(h, data) && readRange(h, 0, 64 * kBlock) == data;
        workerDone = true;
    });
    int lookups = 0;
    int wrongIdentity = 0;
    int badBytes = 0;
    do {
        int32_t kind = 0;
        int32_t code = 0;
        if (api().QuovixGetFlashInfo(h, &kind, &code) != 1 || kind != 5 || code != 19) {
            ++wrongIdentity;
        }
        uint8_t byte = 0;
        uint32_t done = 0;
        const uint32_t address = static_cast<uint32_t>(lookups * 4099) % (64 * kBlock);
        // Either not yet programmed (0xFF) or the final value, never anything else.
        if (api().QuovixRead(h, &byte, 1, address, &done) != 1 || done != 1 ||
            (byte != 0xFF && byte != data[address])) {
            ++badBytes;
        }
        ++lookups;
    } while (!workerDone || lookups < 100);
    worker.join();
    EXPECT_TRUE(workerOk);
    EXPECT_EQ(wrongIdentity, 0);
    EXPECT_EQ(badBytes, 0);
}

// Two threads take turns at the one programmer: each open/operate/close cycle
// must find the chip exactly as its own previous cycle left its region.
TEST_F(VelmorConcurrency, ConnectionsFromTwoThreadsNeverOverlap) {
    constexpr int kCycles = 20;
    const auto cycles = [&](uint32_t region, bool& ok) {
        ok = true;
        for (int i = 0; i < kCycles; ++i) {
            int32_t h = -1;
            // The other thread holds the programmer: try again.
            while ((h = api().QuovixOpen(0)) < 0) {
                std::this_thread::yield();
            }
            const std::vector<uint8_t> data = pattern(kBlock, region * 1000 + static_cast<uint32_t>(i));
            uint32_t done = 0;
            std::vector<uint8_t> back(kBlock);
            // Each cycle writes a fresh block of its own region and reads it back.
            ok = ok && api().QuovixSetFlashInfo(h, 5, 0) == 1 &&
                 api().QuovixProgram(h, data.data(), kBlock,
                                     region * kBlock * 64 + static_cast<uint32_t>(i) * kBlock, &done) == 1 &&
                 done == kBlock &&
                 api().QuovixRead(h, back.data(), kBlock,
                                  region * kBlock * 64 + static_cast<uint32_t>(i) * kBlock, &done) == 1 &&
                 back == data;
            api().QuovixClose(h);
        }
    };
    bool firstOk = false;
    bool secondOk = false;
    std::thread first([&] { cycles(0, firstOk); });
    std::thread second([&] { cycles(1, secondOk); });
    first.join();
    second.join();
    EXPECT_TRUE(firstOk);
    EXPECT_TRUE(secondOk);
    const int32_t h = connect();
    for (uint32_t region = 0; region < 2; ++region) {
        for (int i = 0; i < kCycles; ++i) {
            EXPECT_EQ(readRange(h, region * kBlock * 64 + static_cast<uint32_t>(i) * kBlock, kBlock),
                      pattern(kBlock, region * 1000 + static_cast<uint32_t>(i)));
        }
    }
}

}  // namespace
}  // namespace velmortest
