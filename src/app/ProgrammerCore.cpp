#include "app/ProgrammerCore.h"

#include "app/SerialNumberCommand.h"
#include "device/ProductDataFile.h"
#include "platform/CurrentDirectory.h"
#include "platform/InstanceLock.h"
#include "platform/InstanceNames.h"
#include "ports/CommandIds.h"

MessageAnswer ProgrammerCore::ClosingBoxes::Show(const std::string& text, const std::string& title,
                                                 MessageIcon icon, MessageButtons buttons) {
    if (m_closing) return ClosedBoxAnswer(buttons);
    return m_boxes.Show(text, title, icon, buttons);
}

namespace {

// The codes that open the programmer.
bool UsesProgrammer(uint8_t code) {
    switch (code) {
        case WorkerCode::Auto:
        case WorkerCode::ChangedWrite:
        case WorkerCode::Erase:
        case WorkerCode::Program:
        case WorkerCode::Verify:
        case WorkerCode::ReadChip:
        case WorkerCode::BlankCheck:
        case WorkerCode::DetectQuiet:
        case WorkerCode::DetectWithMessage:
            return true;
        default:
            return false;
    }
}

std::string WorkDirectoryOf(const std::string& given) {
    if (given.empty()) return CurrentDirectory();
    if (given.back() == '/') return given;
    return given + "/";
}

}  // namespace

ProgrammerCore::ProgrammerCore(ProgrammerPorts ports, ProgrammerResources resources)
    : m_ports(ports),
      m_resources(std::move(resources)),
      m_workDirectory(WorkDirectoryOf(m_resources.workDirectory)),
      m_chipWorkFilePath(m_workDirectory + ChipWorkFileName),
      m_workCopyPath(m_workDirectory + WorkCopyFileName),
      m_boxes(ports.boxes),
      m_sounds(ports.sound, ports.commands, m_workDirectory),
      m_session(m_resources.driver, m_image,
                SessionPorts{ports.status, m_boxes, m_sounds, ports.windowThread, *this, &m_chipPanel},
                m_chipWorkFilePath),
      m_state(m_session.state()),
      m_chipPanel(m_session.model(), m_image, ports.commands, ports.modelList, ports.texts),
      m_hexView(m_image, m_grid, ports.scrollBar, ports.commands, m_state),
      m_cellEditor(m_image, m_hexView, m_grid, ports.status, m_boxes, ports.commands, ports.texts, m_state),
      m_loader(m_image, m_hexView, ports.status, m_boxes, m_workCopyPath, m_chipWorkFilePath),
      m_loadedControls(ports.commands, ports.texts),
      m_changeLog(m_workDirectory + ChangeLogFileName),
      m_saver(m_image, m_loader, m_hexView, m_changeLog,
              SavePorts{ports.status, m_boxes, ports.commands, ports.texts, ports.fileDialog, ports.shell}),
      m_addressJump(m_image, m_hexView, m_grid, ports.status, m_boxes, m_state),
      m_dataView(
          m_image, m_session.device(), m_addressJump, ports.status, m_boxes,
          [this] { return m_worker.IsIdle(); }, [this] { return ClaimProgrammer(); }),
      m_gotoForm(m_addressJump, m_boxes, [this] { return m_cellEditor.editMode(); }),
      m_fileFill(m_image, m_hexView, ports.status, m_boxes, ports.texts, m_state,
                 [this] { return m_cellEditor.editMode(); }),
      m_findSession(m_state, m_worker, ports.lifetime, m_boxes),
      m_findView(m_addressJump, m_hexView, m_grid),
      m_fileFinder(m_image, m_findSession, m_findView, ports.windowThread, m_boxes),
      m_worker(m_state, [this](uint8_t code) { RunCommand(code); }) {
    m_hexView.SetEditor(&m_cellEditor);
    // A jump in edit mode opens the editor on the byte with both digits selected.
    m_addressJump.SetEditMode([this] { return m_cellEditor.editMode(); },
                              [this](int row, int column, uint32_t fileRow) {
                                  m_cellEditor.TargetCell(row, column, fileRow);
                                  m_cellEditor.OpenCellEditor(row, column, m_grid.CellText(row, column),
                                                              kBothDigits);
                              });
    m_loader.SetControls(&m_loadedControls);
    m_loader.SetEditModeQuery([this] { return m_cellEditor.editMode(); });
    m_loader.SetCloseCellEditor([this] { m_cellEditor.CloseCellEditor(); });
    m_saver.SetCommitCellEdit([this] { CommitCellEdit(); });
    m_saver.SetWorkCopyFree([this] { return WorkCopyFree(); });
    m_hexView.SetStatusLine(&ports.status);
}

ProgrammerCore::~ProgrammerCore() {
    // A window that never asked to close still must not leave the worker behind.
    if (m_initialised && !m_shutDown) Shutdown();
}

void ProgrammerCore::Initialise() {
    if (m_initialised) return;
    m_initialised = true;
    // The work paths were built from the current directory at construction.
    m_hexView.SetUpHexGrid();
    // View mode marks the focus cell with a frame; edit mode turns the frame off.
    m_grid.SetFocusMarking(!m_cellEditor.editMode());
    // Tool tips and the progress bar's set-up belong to the window's controls.
    // The log exists from start-up on and grows across runs.
    m_logPath = m_changeLog.path();
    m_changeLog.CreateIfMissing();
    m_hexView.ResetScrollBar();
    m_chipPanel.SelectDefaultRow();
    m_sounds.Restore();
    // The driver table was bound by the application when it loaded the library.
    m_state.WorkerCommand = WorkerCode::DetectQuiet;
    m_worker.Start();
}

void ProgrammerCore::HandleCommand(int id) {
    if (!m_initialised || m_shutDown) return;
    switch (id) {
        case CommandId::Exit:
            Shutdown();
            m_ports.lifetime.EndWindow();
            break;
        case CommandId::Auto:
            RequestWorker(WorkerCode::Auto);
            break;
        case CommandId::ChangedWrite:
            RequestWorker(WorkerCode::ChangedWrite);
            break;
        case CommandId::Erase:
            RequestWorker(WorkerCode::Erase);
            break;
        case CommandId::Program:
            if (m_state.ProgramBusy) return;
            RequestWorker(WorkerCode::Program);
            break;
        case CommandId::Verify:
            RequestWorker(WorkerCode::Verify);
            break;
        case CommandId::ReadChip:
            RequestWorker(WorkerCode::ReadChip);
            break;
        case CommandId::BlankCheck:
            RequestWorker(WorkerCode::BlankCheck);
            break;
        case CommandId::Detect:
            RequestWorker(WorkerCode::DetectWithMessage);
            break;
        case CommandId::Open:
            OpenFile();
            break;
        case CommandId::SerialNumber:
            ShowSerialNumber();
            break;
        case CommandId::PromptSound:
            m_sounds.Toggle();
            break;
        case CommandId::Help:
            ShowHelp();
            break;
        case CommandId::About:
        case CommandId::AboutSystemMenu:
            m_ports.aboutBox.ShowAboutBox();
            break;
        case CommandId::Save:
            m_saver.SaveImage();
            break;
        case CommandId::SaveAs:
            m_saver.SaveImageAs();
            break;
        case CommandId::ChangeLog:
            m_saver.ShowChangeLog();
            break;
        case CommandId::EditModeCheck:
            m_cellEditor.ToggleEditMode();
            break;
        case CommandId::EditModeMenu:
            m_cellEditor.OnEditModeMenu();
            break;
        case CommandId::DataView:
            if (m_toolDialogs) m_toolDialogs->RunDataView(m_dataView);
            break;
        case CommandId::Find:
            if (m_toolDialogs) m_toolDialogs->RunFind(m_findSession);
            break;
        case CommandId::GotoAddress:
            if (m_toolDialogs) m_toolDialogs->OpenGoto(m_gotoForm);
            break;
        case CommandId::Fill:
            if (m_toolDialogs) m_toolDialogs->RunFill(m_fileFill);
            break;
        default:
            break;
    }
}

void ProgrammerCore::OnChipModelChanged(int row) {
    if (m_shutDown) return;
    m_chipPanel.ApplyUserRow(row);
}

void ProgrammerCore::OnFilesDropped(const std::vector<std::string>& paths) {
    if (!m_initialised || m_shutDown) return;
    m_loader.HandleDroppedFiles(paths, m_worker.IsIdle());
}

void ProgrammerCore::CommitCellEdit() {
    if (!m_initialised || m_shutDown) return;
    m_cellEditor.CommitCellEdit();
}

void ProgrammerCore::OnGridClick(int x, int y) {
    if (!m_initialised || m_shutDown) return;
    m_cellEditor.OnGridClick(x, y);
}

void ProgrammerCore::OnCellEditorChange() {
    if (!m_initialised || m_shutDown) return;
    m_cellEditor.OnCellEditorChange();
}

void ProgrammerCore::DeviceChanged() {
    if (!m_initialised || m_shutDown) return;
    m_worker.DeviceChanged();
}

bool ProgrammerCore::RequestClose() {
    if (m_shutDown) return true;
    // Not only the busy flags: an operation between its device check and its flag,
    // or a detection, is running too, and the window would wait for all of it.
    if (m_state.AnyBusy() || !WorkerAtRest()) return false;
    Shutdown();
    return true;
}

bool ProgrammerCore::WorkerAtRest() const {
    return !m_initialised || m_worker.IsIdle() || m_worker.HasEnded();
}

void ProgrammerCore::Shutdown() {
    if (m_shutDown) return;
    m_shutDown = true;
    m_boxes.SetClosing();
    if (m_initialised) {
        // The worker may still run a detection, or with the exit command an
        // operation; it may be waiting for the window, so keep serving it. A
        // search waiting at a hit is stopped first.
        m_findSession.StopForShutdown();
        m_worker.RequestQuit();
        m_ports.lifetime.ServeUntil([this] { return m_worker.HasEnded(); });
        m_worker.Join();
    }
    // Only now, with nobody reading it any more, the work copy is closed.
    m_image.Unload();
    if (m_resources.release) m_resources.release();
    m_resources.release = nullptr;
}

void ProgrammerCore::RunCommand(uint8_t code) {
    if (code == WorkerCode::Find) {
        m_fileFinder.FindInFile();
        return;
    }
    // Held for this command alone: between the window's uses a job may take the programmer.
    const std::shared_ptr<void> claim = UsesProgrammer(code) ? ClaimProgrammer() : std::make_shared<int>(0);
    if (!claim) {
        m_ports.status.SetStatus(ProgrammerBusyText, true, true);
        // The quiet detection after a device notice says it in the status line alone.
        if (code != WorkerCode::DetectQuiet)
            m_boxes.Show(ProgrammerBusyText, "提示", MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    // The window has told the user already; the outcome is for front ends without one.
    m_session.Execute(code);
}

std::shared_ptr<void> ProgrammerCore::ClaimProgrammer() {
    if (!m_resources.programmerLockDirectory) return std::make_shared<int>(0);
    auto lock = std::make_shared<InstanceLock>(ProgrammerLockName(m_session.device().index()),
                                               *m_resources.programmerLockDirectory);
    if (lock->TryAcquire() == InstanceLock::Result::HeldElsewhere) return nullptr;
    return lock;
}

void ProgrammerCore::ForceViewMode() {
    if (!m_cellEditor.editMode()) return;
    m_cellEditor.SetEditModeFlag(false);
    // Every accepted keystroke is already in the work copy; the editor goes with
    // edit mode, also when the read then fails and the old image stays.
    m_cellEditor.CloseCellEditor();
    // The check box shows the view-mode picture when unchecked.
    m_ports.commands.SetChecked(CommandId::EditModeCheck, false);
    m_ports.commands.SetChecked(CommandId::EditModeMenu, false);
    // The fill belongs to edit mode: it must not stay usable in view mode.
    m_ports.commands.SetEnabled(CommandId::Fill, false);
    m_ports.status.SetStatus(ViewModeText, false, false);
}

void ProgrammerCore::LoadChipImage() {
    m_loader.LoadImageFile(m_chipWorkFilePath, false);
}

void ProgrammerCore::ResolveTruncatedChipImage() {
    m_loader.ResolveTruncatedChipImage();
}

void ProgrammerCore::RequestWorker(uint8_t code) {
    // Dropped while the worker runs: the running operation finishes as started.
    m_worker.Request(code);
}

void ProgrammerCore::OpenFile() {
    // The loader recreates the work copy that the operations read.
    if (!m_worker.IsIdle()) return;
    const std::string path =
        m_ports.fileDialog.ChooseOpenFile(OpenDialogFilters(), kOpenDialogDefaultExtension);
    if (path.empty() || m_shutDown) return;
    // A device notice may have started a quiet detection while the dialog was
    // open; it is short, so the choice waits for it instead of being lost. The
    // wait also ends when the window closed meanwhile, and then nothing loads.
    if (!m_state.AnyBusy()) m_ports.lifetime.ServeUntil([this] { return WorkerAtRest(); });
    if (m_shutDown) return;
    // A chip operation that started meanwhile refuses the file as it refuses a drop.
    m_loader.HandleDroppedFiles({path}, m_worker.IsIdle());
}

void ProgrammerCore::ShowSerialNumber() {
    if (m_resources.productData == nullptr) return;
    ::ShowSerialNumber(*m_resources.productData, m_ports.status, m_boxes);
}

void ProgrammerCore::ShowHelp() {
    // The .chm where the desktop has a viewer for it, else the HTML manual in the
    // desktop's browser, else in the program's own viewer.
    const ShellOpenResult chm = m_ports.shell.Open(m_workDirectory + ManualFileName);
    if (chm == ShellOpenResult::Opened) return;
    const std::string html = m_workDirectory + HtmlManualFileName;
    ShellOpenResult page = m_ports.shell.Open(html);
    if (page == ShellOpenResult::Failed) page = m_ports.shell.ShowInOwnViewer(html, OwnViewer::Manual);
    if (chm == ShellOpenResult::FileNotFound && page == ShellOpenResult::FileNotFound)
        m_boxes.Show(ManualMissingText, "提示", MessageIcon::Exclamation, MessageButtons::Ok);
}
