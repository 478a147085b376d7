#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "ports/WindowServices.h"

class ChangeLog;
class CommandStates;
class ControlTexts;
class File;
class FileImage;
class ImageObserver;
class ImageLoader;
class MessageBoxes;
class StatusLine;

// Save's box when the source was changed by another program since it was loaded
// (asks whether to save as another file instead).
inline constexpr const char* kChangedOutsideMessage =
    "文件已被其他程序修改，保存将覆盖其修改，文件未保存！\n是否另存为其他文件？";

// "bin文件(*.bin)", "rom文件(*.rom)" and "其他文件(*.*)", in this order.
std::vector<OpenDialogFilter> SaveDialogFilters();
// Extension the save dialog adds to a name typed without one.
inline constexpr const char* kSaveDialogDefaultExtension = "bin";

// The window's ports that saving uses.
struct SavePorts {
    StatusLine& status;
    MessageBoxes& boxes;
    CommandStates& commands;
    ControlTexts& texts;
    FileDialogPort& fileDialog;
    ShellPort& shell;
};

// Save, save as and the log viewer (window thread). Save writes exactly the bytes
// in which the work copy differs from its source into the source itself and logs
// each of them; chip data and save-as write a whole new file, which replaces the
// chosen one only once it is complete on the disk. A failed write is reported and
// leaves Save enabled, the unsaved bytes still marked.
class ImageSaver {
public:
    ImageSaver(FileImage& image, ImageLoader& loader, ImageObserver& view, ChangeLog& log, SavePorts ports);

    // A pending cell edit is committed before the comparison, so it is saved too.
    void SetCommitCellEdit(std::function<void()> commit) { m_commitCellEdit = std::move(commit); }
    // False while a chip operation runs: it reads the work copy, or rewrites the
    // chip work file that a save of chip data reads. Saving is then refused silently.
    void SetWorkCopyFree(std::function<bool()> free) { m_workCopyFree = std::move(free); }
    // Local time of the log's head line.
    void SetClock(std::function<std::tm()> clock) { m_clock = std::move(clock); }

    void SaveImage();
    void SaveImageAs();
    void ShowChangeLog();

private:
    bool WorkCopyFree() const { return !m_workCopyFree || m_workCopyFree(); }
    bool IsWorkFile(const std::string& path) const;
    bool IsLoadedFile(const std::string& path) const;
    // Dialog and refusal of the two work files; empty when nothing is to be written.
    std::string ChooseTarget();
    void SaveInPlace();
    void SaveChipData();
    // True when the file at `path` is no longer the one loaded or last saved, as it was then.
    bool ChangedOutside(const std::string& path) const;
    // A run of bytes [begin, end) of one compared piece at `base` in which the work
    // copy differs from the source (bytes at or past `oldCount` lie past the source's end).
    struct Run {
        uint64_t base;
        const uint8_t* work;
        const uint8_t* old;
        size_t oldCount;
        size_t begin;
        size_t end;
    };
    using RunVisitor = std::function<bool(const Run&)>;
    // Compares work copy and source piece by piece; false on a read error or when `visit` says stop.
    bool ForEachRun(File& source, const RunVisitor& visit);
    // Length of the change lines this save will write.
    bool MeasureDifferences(File& source, uint64_t& lineBytes);
    // Writes each run of differing bytes into `source` and logs each byte that landed.
    bool WriteDifferences(File& source);
    // After a failed write: logs those bytes of a run that did reach the source.
    void LogLanded(File& source, uint64_t offset, const uint8_t* work, const uint8_t* old, size_t oldCount,
                   size_t count);
    // The whole work copy into a file replacing `target`.
    bool WriteCopy(const std::string& target);
    void Saved();
    void ReportFailure();
    // The log cannot take the block: nothing was written anywhere.
    void ReportLogFailure();

    FileImage& m_image;
    ImageLoader& m_loader;
    ImageObserver& m_view;
    ChangeLog& m_log;
    SavePorts m_ports;
    std::function<void()> m_commitCellEdit;
    std::function<bool()> m_workCopyFree;
    std::function<std::tm()> m_clock;
};
