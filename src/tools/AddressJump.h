#pragma once

#include <cstdint>
#include <functional>

class FileImage;
class GridModel;
class HexView;
class MessageBoxes;
class StatusLine;
struct WorkerState;

// GoToAddress of the main window: brings one byte of the image onto the page and
// puts the focus cell on it. Shared by the goto, the data view and the find.
// Window thread only.
class AddressJump {
public:
    static constexpr const char* OutOfRangeText = "地址超出文件范围！";

    AddressJump(FileImage& image, HexView& view, GridModel& grid, StatusLine& status, MessageBoxes& boxes,
                const WorkerState& state);

    // In edit mode the cell editor opens on the byte, both digits selected, as a
    // click on the cell would; the opener gets the grid cell and the byte's file row.
    using EditorOpener = std::function<void(int row, int column, uint32_t fileRow)>;
    void SetEditMode(std::function<bool()> editMode, EditorOpener openEditor) {
        m_editMode = std::move(editMode);
        m_openEditor = std::move(openEditor);
    }

    // True when the byte is shown. An address at or past the end (or no image)
    // is reported on the status line and in a box. While programming or
    // verifying reads the work copy the page is left alone and nothing moves.
    bool GoToAddress(uint32_t address);

private:
    FileImage& m_image;
    HexView& m_view;
    GridModel& m_grid;
    StatusLine& m_status;
    MessageBoxes& m_boxes;
    const WorkerState& m_state;
    std::function<bool()> m_editMode;
    EditorOpener m_openEditor;
};
