#pragma once

// The view side the address tools work on: an image opened from a file, the hex
// view and its grid, the jump to an address, recording ports. Window thread only.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ImageViewHarness.h"
#include "tools/AddressJump.h"

class ToolsFixture : public ::testing::Test, protected ImageViewHarness {
protected:
    ToolsFixture() : jump(image, view, grid, status, boxes, state) {
        grid.SetRepaintListener([this] { ++repaints; });
    }

    void Open(const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(ImageViewHarness::Open(bytes));
        repaints = 0;
    }

    static std::vector<uint8_t> Counting(size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
        return bytes;
    }

    AddressJump jump;
    int repaints = 0;
};
