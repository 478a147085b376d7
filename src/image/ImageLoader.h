#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image/FileReleaser.h"
#include "ports/WindowServices.h"

class CommandStates;
class ControlTexts;
class FileImage;
class ImageObserver;
class MessageBoxes;
class StatusLine;

// "*.bin;*.rom文件(*.bin;*.rom)" and "所有文件(*.*)", in this order.
std::vector<OpenDialogFilter> OpenDialogFilters();
// Extension the Open dialog adds to a name typed without one.
inline constexpr const char* kOpenDialogDefaultExtension = "bin";

// The window's labels and commands that follow the loaded image. The
// command-line tool loads without them.
class LoadedImageControls {
public:
    LoadedImageControls(CommandStates& commands, ControlTexts& texts)
        : m_commands(commands), m_texts(texts) {}

    // After a load of a user file or of the chip's data: its labels and the commands an image makes usable.
    void ShowLoaded(const FileImage& image, bool chipData, bool editMode);
    // Files are taken only while Open is usable.
    bool OpenEnabled() const;

private:
    CommandStates& m_commands;
    ControlTexts& m_texts;
};

// The one loader: copies a file into the work copy, keeps the file open as the
// source, computes length, checksum and texts, and shows the first page. Runs on
// the window thread (the worker reaches it through WindowThread).
class ImageLoader {
public:
    ImageLoader(FileImage& image, ImageObserver& view, StatusLine& status, MessageBoxes& boxes,
                std::string workCopyPath, std::string chipWorkFilePath);

    // The window's labels and commands; without them a load shows only the view and the status.
    void SetControls(LoadedImageControls* controls) { m_controls = controls; }
    // The cell editor closes on every load so nothing typed for the old image reaches the new one.
    void SetCloseCellEditor(std::function<void()> close) { m_closeCellEditor = std::move(close); }
    // Edit mode decides whether the fill entry is enabled.
    void SetEditModeQuery(std::function<bool()> editMode) { m_editMode = std::move(editMode); }

    // `userOpened` refuses the two work files; the chip work file path is shown as chip data.
    // The outcome is FileImage::loaded().
    void LoadImageFile(const std::string& path, bool userOpened);

    // Files dropped on the grid: the first one is loaded when the worker is idle and
    // Open is enabled; otherwise a note. True when a load was attempted.
    bool HandleDroppedFiles(const std::vector<std::string>& paths, bool workerIdle);

    // After a chip read failed and emptied the chip work file that was shown: the
    // shortened file becomes the source again (bytes it lost show as modified), or,
    // when it cannot be opened, the image is unloaded so nothing reads a closed file.
    // True when an image stays loaded.
    bool ResolveTruncatedChipImage();

    const std::string& workCopyPath() const { return m_workCopyPath; }
    const std::string& chipWorkFilePath() const { return m_chipWorkFilePath; }

private:
    // The chosen path names one of the two work files, in any spelling.
    bool IsWorkFile(const std::string& path) const;
    // Opens the work copy for this program alone and empties it; false (nothing
    // touched) when it cannot be made or another program holds it.
    bool AcquireWorkCopy(File& work);
    bool OpenSource(const std::string& path, bool chipData, File& source) const;
    // Empties the work copy when this load holds it, so no partial or stale image
    // stays on disk, and reports the failure; nothing is loaded afterwards.
    void ReportFailure(bool chipData, File* work = nullptr);

    FileImage& m_image;
    ImageObserver& m_view;
    StatusLine& m_status;
    MessageBoxes& m_boxes;
    LoadedImageControls* m_controls = nullptr;
    std::string m_workCopyPath;
    std::string m_chipWorkFilePath;
    std::function<void()> m_closeCellEditor;
    std::function<bool()> m_editMode;
    // Closes the copy a load replaced, freeing its blocks off the window thread.
    FileReleaser m_releaser;
};
