#pragma once

// The window's share of the core for the image benchmarks: ports that do nothing,
// the image, the hex view and the loader, without a window.

#include <string>

#include "BenchPorts.h"
#include "hexview/HexView.h"
#include "hexview/ScrollBarPort.h"
#include "image/FileImage.h"
#include "image/ImageLoader.h"
#include "operations/WorkerState.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"
#include "ports/WindowServices.h"
#include "widgets/GridModel.h"

// The window's share of the core, without a window.
struct Core {
    explicit Core(const std::string& dir)
        : view(image, grid, scrollBar, commands, state),
          loader(image, view, status, boxes, dir + "/h_alor1.dll", dir + "/h_alor0.dll") {
        view.SetUpHexGrid();
        view.ResetScrollBar();
    }
    NullStatus status;
    NullBoxes boxes;
    NullCommands commands;
    NullTexts texts;
    NullScrollBar scrollBar;
    WorkerState state;
    FileImage image;
    GridModel grid;
    HexView view;
    ImageLoader loader;
};
