#pragma once

// An image as the loader leaves it (a source and its work copy, both of the same
// bytes), paged by the hex view, with recording ports: the view side the address
// tools work on. Window thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "hexview/HexView.h"
#include "image/FileImage.h"
#include "image/ImageTexts.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "support/RecordingPorts.h"
#include "support/RecordingScrollBar.h"
#include "support/TempDirectory.h"
#include "widgets/GridModel.h"

struct ImageViewHarness {
    ImageViewHarness()
        : commands(log),
          scrollBar(log),
          status(log),
          boxes(log),
          texts(log),
          view(image, grid, scrollBar, commands, state) {
        view.SetUpHexGrid();
        view.ResetScrollBar();
        log.Clear();
    }

    // False when the files cannot be opened; the page shows the first rows.
    bool Open(const std::vector<uint8_t>& bytes) {
        workPath = dir.Write("h_alor1.dll", bytes);
        if (!image.sourceFile().Open(dir.Write("source.bin", bytes), File::Mode::ReadOnly) ||
            !image.workCopy().Open(workPath, File::Mode::ReadWrite))
            return false;
        image.SetLength(static_cast<uint32_t>(bytes.size()));
        image.SetChecksum(ByteSum(bytes.data(), bytes.size()));
        image.SetLoaded(true);
        view.UpdateScrollRange();
        view.SetTopRow(0);
        view.RefreshPage();
        log.Clear();
        return true;
    }

    TempDirectory dir;
    EventLog log;
    WorkerState state;
    FileImage image;
    GridModel grid;
    RecordingCommandStates commands;
    RecordingScrollBar scrollBar;
    RecordingStatusLine status;
    ScriptedMessageBoxes boxes;
    RecordingControlTexts texts;
    HexView view;
    std::string workPath;
};
