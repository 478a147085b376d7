#include <atomic>
#include <chrono>
#include <set>
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

// `devices = 3`: three programmers, each opened once, each with its own chip
// file; one thread per programmer programs and reads back its own image.
TEST_F(VelmorConcurrency, SeveralProgrammersEachKeepTheirOwnChipAndConnection) {
    configure("devices = 3\nchip = 25X10\n");
    ASSERT_EQ(api().QuovixEnum(), 3);
    std::vector<int32_t> handles;
    for (int32_t index = 0; index < 3; ++index) {
        handles.push_back(api().QuovixOpen(index));
        ASSERT_GT(handles.back(), 0);
        m_open.push_back(handles.back());
        // One connection per programmer.
        EXPECT_EQ(api().QuovixOpen(index), -1);
    }
    EXPECT_EQ(api().QuovixOpen(3), -1);
    EXPECT_EQ(api().QuovixOpen(-1), -1);
    EXPECT_EQ(std::set<int32_t>(handles.begin(), handles.end()).size(), 3u);

    bool ok[3] = {false, false, false};
    std::vector<std::thread> threads;
    for (size_t i = 0; i < 3; ++i) {
        threads.emplace_back([&, i] {
            const int32_t h = handles[i];
            const std::vector<uint8_t> data = pattern(128 * 1024, static_cast<uint32_t>(40 + i));
            ok[i] = api().QuovixUsbSelfTest(h) == 1 && api().QuovixSetFlashInfo(h, 5, 0) == 1 &&
                    programAll(h, data) && readRange(h, 0, 128 * 1024) == data;
        });
    }
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(ok[i]) << i;
        close(handles[i]);
    }
    EXPECT_EQ(ReadBytes(m_dir->path() / "velmor-sim-chip.bin"), pattern(128 * 1024, 40));
    EXPECT_EQ(ReadBytes(m_dir->path() / "velmor-sim-chip-1.bin"), pattern(128 * 1024, 41));
    EXPECT_EQ(ReadBytes(m_dir->path() / "velmor-sim-chip-2.bin"), pattern(128 * 1024, 42));
    // Closed, each can be opened again.
    const int32_t again = api().QuovixOpen(1);
    EXPECT_GT(again, 0);
    close(again);
}

// A long call on one programmer does not hold up another programmer: the second
// one's whole connection ends while the first one's erase is still running.
TEST_F(VelmorConcurrency, ALongEraseOnOneProgrammerDoesNotBlockAnother) {
    configure("devices = 2\nchip = 25X10\nerase_ms = 1500\n");
    const int32_t first = api().QuovixOpen(0);
    ASSERT_GT(first, 0);
    m_open.push_back(first);
    ASSERT_EQ(api().QuovixSetFlashInfo(first, 5, 0), 1);
    std::atomic<bool> eraseEnded{false};
    std::thread eraser([&] {
        api().QuovixInitFlash(first);
        eraseEnded = true;
    });
    // Wait until the erase holds its connection: a call on it must wait now.
    std::atomic<bool> selfTestEnded{false};
    std::thread sameConnection([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        api().QuovixUsbSelfTest(first);
        selfTestEnded = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    bool secondEndedFirst = false;
    {
        const int32_t second = api().QuovixOpen(1);
        const std::vector<uint8_t> data = pattern(kBlock, 7);
        uint32_t done = 0;
        const bool ok = second > 0 && api().QuovixSetFlashInfo(second, 5, 0) == 1 &&
                        api().QuovixProgram(second, data.data(), kBlock, 0, &done) == 1 && done == kBlock;
        api().QuovixClose(second);
        secondEndedFirst = ok && !eraseEnded;
    }
    const bool selfTestWaited = !selfTestEnded;
    eraser.join();
    sameConnection.join();
    EXPECT_TRUE(secondEndedFirst);
    // Calls on the one connection still run one after another.
    EXPECT_TRUE(selfTestWaited);
}

}  // namespace
}  // namespace velmortest
