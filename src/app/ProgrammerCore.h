#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ChipPanel.h"
#include "app/PromptSounds.h"
#include "device/ChipModel.h"
#include "hexview/CellEditor.h"
#include "hexview/HexView.h"
#include "hexview/ScrollBarPort.h"
#include "image/ChangeLog.h"
#include "image/FileImage.h"
#include "image/ImageLoader.h"
#include "image/ImageSaver.h"
#include "operations/ChipOperations.h"
#include "operations/OperationWorker.h"
#include "operations/ProgrammerSession.h"
#include "operations/WorkerState.h"
#include "platform/DriverApi.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"
#include "ports/WindowServices.h"
#include "tools/AddressJump.h"
#include "tools/DataView.h"
#include "tools/FileFill.h"
#include "tools/FileFinder.h"
#include "tools/FindHitView.h"
#include "tools/FindSession.h"
#include "tools/GotoForm.h"
#include "tools/ToolDialogs.h"
#include "widgets/GridModel.h"

class ProductDataFile;

// Everything of the window that the core reaches through ports. All of them
// outlive the core.
struct ProgrammerPorts {
    StatusLine& status;
    MessageBoxes& boxes;
    CommandStates& commands;
    ControlTexts& texts;
    ChipModelList& modelList;
    SoundOutput& sound;
    WindowThread& windowThread;
    ScrollBarPort& scrollBar;
    FileDialogPort& fileDialog;
    ShellPort& shell;
    AboutBoxPort& aboutBox;
    WindowLifetime& lifetime;
};

// What the application hands the window: the bound driver, the open product data
// file, and how to let both go when the window closes.
struct ProgrammerResources {
    DriverApi driver;  // all null: no programmer can be reached
    const ProductDataFile* productData = nullptr;
    std::function<void()> release;  // unloads the driver library, closes the data file
    std::string workDirectory;      // ends with "/"; empty: the current directory
    // Where the programmers' locks live ("": the runtime directory, as the jobs'
    // locks). Unset: nothing else drives the programmers, no lock is taken.
    std::optional<std::string> programmerLockDirectory;
};

// The main window's state and decisions without Qt: owns the image, the hex view,
// the chip model, the device, the sounds, the operations and the worker; routes
// every command id; runs the worker's codes; closes down without leaving the
// worker waiting for a window that is gone.
class ProgrammerCore : private ReadChipView {
public:
    static constexpr const char* ManualFileName = "XJQT_Tarlo Flash编程器用户手册.chm";
    // The same manual as HTML pages, for desktops without a .chm viewer.
    static constexpr const char* HtmlManualFileName = "manual/index.html";
    static constexpr const char* ChipWorkFileName = "h_alor0.dll";
    static constexpr const char* WorkCopyFileName = "h_alor1.dll";
    static constexpr const char* ChangeLogFileName = "修改记录.txt";
    static constexpr const char* ManualMissingText = "文件被破坏，未发现文件！";
    static constexpr const char* ViewModeText = CellEditor::ViewModeText;
    static constexpr const char* ProgrammerBusyText = "编程器正被其他程序使用！";

    ProgrammerCore(ProgrammerPorts ports, ProgrammerResources resources);
    ~ProgrammerCore() override;
    ProgrammerCore(const ProgrammerCore&) = delete;
    ProgrammerCore& operator=(const ProgrammerCore&) = delete;

    // The window's initialisation after its controls exist: grid, scroll bar,
    // default chip model, prompt sounds, then the worker with a quiet detection.
    void Initialise();

    // A button, menu item or key with this id (window thread).
    void HandleCommand(int id);
    // The model list's selection changed to `row` (window thread).
    void OnChipModelChanged(int row);
    // Files dropped on the hex view (window thread).
    void OnFilesDropped(const std::vector<std::string>& paths);
    // Commits the cell edit that is pending, if any: Enter anywhere in the window,
    // and Save before it saves. Nothing while program or verify run.
    void CommitCellEdit();
    // Release of a left click on the grid at (x, y) of the grid's client area,
    // delivered after the grid's mouse handler (window thread).
    void OnGridClick(int x, int y);
    // The user changed the text of the cell editor 1027 (window thread).
    void OnCellEditorChange();
    // The window's cell editor control; until it is set the editor lives in memory.
    void SetCellEditorControl(CellEditorControl* control) { m_cellEditor.SetControl(control); }
    // One device-change notice of the system (window thread).
    void DeviceChanged();

    // The window's close request: refused (false) while the worker runs anything;
    // otherwise the core shuts down and the window may close.
    bool RequestClose();
    // Ends the worker, serving its calls to the window meanwhile (questions are
    // answered No or Cancel), then closes the image and lets the driver and the
    // data file go. Safe to call more than once.
    void Shutdown();
    bool IsShutDown() const { return m_shutDown; }

    // The worker's dispatch of one command code.
    void RunCommand(uint8_t code);

    WorkerState& state() { return m_session.state(); }
    FileImage& image() { return m_image; }
    GridModel& grid() { return m_grid; }
    HexView& hexView() { return m_hexView; }
    CellEditor& cellEditor() { return m_cellEditor; }
    ChipModelSelection& model() { return m_session.model(); }
    PromptSounds& sounds() { return m_sounds; }
    OperationWorker& worker() { return m_worker; }
    const std::string& workDirectory() const { return m_workDirectory; }
    const std::string& chipWorkFilePath() const { return m_chipWorkFilePath; }
    const std::string& workCopyPath() const { return m_workCopyPath; }
    const std::string& logPath() const { return m_logPath; }

    // The address tools' dialogs; without them their commands do nothing.
    void SetToolDialogs(ToolDialogs* dialogs) { m_toolDialogs = dialogs; }
    AddressJump& addressJump() { return m_addressJump; }
    DataViewLookup& dataView() { return m_dataView; }
    GotoForm& gotoForm() { return m_gotoForm; }
    FileFill& fileFill() { return m_fileFill; }
    FindSession& findSession() { return m_findSession; }
    FileFinder& fileFinder() { return m_fileFinder; }

    // Edit mode: switched by 1006 and 32783; a chip read turns it off.
    bool editMode() const { return m_cellEditor.editMode(); }
    void SetEditModeFlag(bool on) { m_cellEditor.SetEditModeFlag(on); }

private:
    // Boxes of the operations: once the window closes, questions are answered
    // without being shown, so the worker finishes at once.
    class ClosingBoxes : public MessageBoxes {
    public:
        explicit ClosingBoxes(MessageBoxes& boxes) : m_boxes(boxes) {}
        MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
        void SetClosing() { m_closing = true; }

    private:
        MessageBoxes& m_boxes;
        std::atomic<bool> m_closing{false};
    };

    // ReadChipView, run on the window thread for the worker's chip read.
    void ForceViewMode() override;
    void LoadChipImage() override;
    void ResolveTruncatedChipImage() override;

    // The programmer's lock for one use (a detection, an operation, a look-up):
    // empty when a job or another program holds it. Without a lock directory, or
    // where no lock file can be made, the use goes ahead.
    std::shared_ptr<void> ClaimProgrammer();

    // The worker is parked, has ended, or was never started: nothing of it runs.
    bool WorkerAtRest() const;
    void RequestWorker(uint8_t code);
    // Saving reads the work copy and a chip read rewrites the chip work file: only while the worker is idle.
    bool WorkCopyFree() const { return m_worker.IsIdle(); }
    void OpenFile();
    void ShowSerialNumber();
    void ShowHelp();

    ProgrammerPorts m_ports;
    ProgrammerResources m_resources;
    std::string m_workDirectory;
    std::string m_chipWorkFilePath;
    std::string m_workCopyPath;
    std::string m_logPath;
    bool m_initialised = false;
    bool m_shutDown = false;

    ClosingBoxes m_boxes;
    FileImage m_image;
    PromptSounds m_sounds;
    ProgrammerSession m_session;  // hears its checks through m_chipPanel, first used by the worker
    WorkerState& m_state;         // the session's
    ChipPanel m_chipPanel;
    GridModel m_grid;
    HexView m_hexView;
    CellEditor m_cellEditor;
    ImageLoader m_loader;
    LoadedImageControls m_loadedControls;
    ChangeLog m_changeLog;
    ImageSaver m_saver;
    AddressJump m_addressJump;
    DataViewLookup m_dataView;
    GotoForm m_gotoForm;
    FileFill m_fileFill;
    FindSession m_findSession;  // refers to m_worker, which it first uses after construction
    FindHitView m_findView;
    FileFinder m_fileFinder;
    ToolDialogs* m_toolDialogs = nullptr;
    // Last: destroyed first, so the worker has ended before what it uses goes.
    OperationWorker m_worker;
};
