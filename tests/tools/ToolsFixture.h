#pragma once

// The view side the address tools work on: an image opened from a file, the hex
// view and its grid, the jump to an address, recording ports. Window thread only.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingPorts.h"
#include "hexview/HexView.h"
#include "image/FileImage.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "support/RecordingScrollBar.h"
#include "support/TempDir.h"
#include "tools/AddressJump.h"
#include "widgets/GridModel.h"

class ToolsFixture : public ::testing::Test {
protected:
    ToolsFixture()
        : commands(log),
          scrollBar(log),
          status(log),
          boxes(log),
          view(image, grid, scrollBar, commands, state),
          jump(image, view, grid, status, boxes, state) {
        view.SetUpHexGrid();
        view.ResetScrollBar();
        grid.SetRepaintListener([this] { ++repaints; });
        log.Clear();
    }

    void Open(const std::vector<uint8_t>& bytes) {
        const std::string path = dir.Write("h_alor1.dll", bytes);
        ASSERT_TRUE(image.workCopy().Open(path, File::Mode::ReadWrite));
        ASSERT_TRUE(image.sourceFile().Open(path, File::Mode::ReadOnly));
        image.SetLength(static_cast<uint32_t>(bytes.size()));
        image.SetLoaded(true);
        view.UpdateScrollRange();
        view.SetTopRow(0);
        view.RefreshPage();
        log.Clear();
        repaints = 0;
    }

    static std::vector<uint8_t> Counting(size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
        return bytes;
    }

    TempDir dir;
    EventLog log;
    WorkerState state;
    FileImage image;
    GridModel grid;
    RecordingCommandStates commands;
    RecordingScrollBar scrollBar;
    RecordingStatusLine status;
    ScriptedMessageBoxes boxes;
    HexView view;
    AddressJump jump;
    int repaints = 0;
};
