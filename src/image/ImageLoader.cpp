#include "image/ImageLoader.h"

#include "image/DisplayPath.h"
#include "image/FileImage.h"
#include "image/ImageFileCopy.h"
#include "image/ImageTexts.h"
#include "platform/File.h"
#include "platform/FileState.h"
#include "ports/CommandIds.h"
#include "ports/ImageObserver.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"

namespace {
// Above this many rows the user is told the view is limited; the image still loads.
constexpr uint32_t kDisplayRowLimit = 134217748;
}  // namespace

std::vector<OpenDialogFilter> OpenDialogFilters() {
    return {
        {"*.bin;*.rom文件(*.bin;*.rom)", {"*.bin", "*.rom"}},
        {"所有文件(*.*)", {"*"}},
    };
}

void LoadedImageControls::ShowLoaded(const FileImage& image, bool chipData, bool editMode) {
    if (!chipData) {
        m_texts.SetText(CommandId::SizeLabel, image.sizeText());
        m_texts.SetText(CommandId::ChecksumLabel, image.checksumText());
        m_texts.SetText(CommandId::NameLabel, image.nameText());
        m_texts.SetText(CommandId::PathBox, image.displayPath());
        m_commands.SetEnabled(CommandId::SaveAs, true);
        m_commands.SetEnabled(CommandId::Find, true);
        if (editMode) m_commands.SetEnabled(CommandId::Fill, true);
        m_commands.SetEnabled(CommandId::GotoAddress, true);
        m_commands.SetEnabled(CommandId::EditModeMenu, true);
        m_commands.SetEnabled(CommandId::DataView, true);
        m_commands.SetEnabled(CommandId::Save, false);
    } else {
        m_texts.SetText(CommandId::SizeLabel, image.sizeText());
        m_texts.SetText(CommandId::ChecksumLabel, image.checksumText());
        m_texts.SetText(CommandId::NameLabel, "芯片内数据");
        m_commands.SetEnabled(CommandId::SaveAs, true);
        m_commands.SetEnabled(CommandId::Find, true);
        m_commands.SetEnabled(CommandId::DataView, true);
        m_commands.SetEnabled(CommandId::EditModeMenu, true);
        m_commands.SetEnabled(CommandId::Save, true);
        if (editMode) m_commands.SetEnabled(CommandId::Fill, true);
        m_commands.SetEnabled(CommandId::GotoAddress, true);
        m_texts.SetText(CommandId::PathBox, "芯片内数据，尚未保存!");
    }
}

bool LoadedImageControls::OpenEnabled() const {
    return m_commands.IsEnabled(CommandId::Open);
}

ImageLoader::ImageLoader(FileImage& image, ImageObserver& view, StatusLine& status, MessageBoxes& boxes,
                         std::string workCopyPath, std::string chipWorkFilePath)
    : m_image(image),
      m_view(view),
      m_status(status),
      m_boxes(boxes),
      m_workCopyPath(std::move(workCopyPath)),
      m_chipWorkFilePath(std::move(chipWorkFilePath)) {}

void ImageLoader::ReportFailure(bool chipData, File* work) {
    if (work != nullptr && work->IsOpen()) work->Truncate(0);
    // Whatever was opened on the way is closed: nothing stays loaded.
    m_image.Unload();
    if (chipData) {
        m_status.SetStatus("芯片读取失败！", true, false);
        m_boxes.Show("芯片读取失败！", "错误", MessageIcon::Stop);
    } else {
        m_status.SetStatus("文件打开失败", true, false);
        m_boxes.Show("无法打开文件！", "错误", MessageIcon::Stop);
    }
}

bool ImageLoader::IsWorkFile(const std::string& path) const {
    return path == m_workCopyPath || path == m_chipWorkFilePath || IsSameFile(path, m_workCopyPath) ||
           IsSameFile(path, m_chipWorkFilePath);
}

bool ImageLoader::AcquireWorkCopy(File& work) {
    // Never through a link: a planted link must not turn the copy into a write
    // over someone's file. The lock comes before the emptying, so a second
    // program on this directory never cuts the first one's image.
    if (!work.OpenRegular(m_workCopyPath, File::Mode::OpenOrCreate, true)) return false;
    if (work.TryLockExclusive() == File::LockResult::HeldElsewhere) {
        work.Close();
        return false;
    }
    if (work.Size() == 0) return true;
    // Cutting the previous copy in place makes the window wait while its blocks are
    // freed (a large image takes a good part of a load). A new empty file takes its
    // name instead, and the old one is closed and freed on the side.
    File previous;
    if (work.SwapForEmpty(previous)) {
        m_releaser.Release(std::move(previous));
        return true;
    }
    return work.Truncate(0);
}

bool ImageLoader::OpenSource(const std::string& path, bool chipData, File& source) const {
    // Only a regular file: a FIFO would block the window, a device never ends.
    if (!source.OpenRegular(path, File::Mode::ReadOnly, chipData)) return false;
    // Chip data shown here must not be emptied by another program's chip read.
    return !chipData || source.TryLockExclusive() != File::LockResult::HeldElsewhere;
}

void ImageLoader::LoadImageFile(const std::string& path, bool userOpened) {
    if (userOpened && IsWorkFile(path)) {
        m_boxes.Show("系统文件禁止打开！    ", "警告", MessageIcon::Exclamation);
        return;
    }
    const bool chipData = path == m_chipWorkFilePath;
    m_image.SetDisplayPath(DisplayPathOf(path));

    // The previous image goes first, loaded or half-closed.
    m_image.Unload();
    m_view.ImageRowsReset();
    m_image.SetSourcePath(path);

    File work;
    if (!AcquireWorkCopy(work)) {
        ReportFailure(chipData);
        return;
    }
    File source;
    if (!OpenSource(path, chipData, source)) {
        ReportFailure(chipData, &work);
        return;
    }
    // Taken before the copy: a write by another program from here on shows at Save.
    m_image.SetSourceState(FileStateOf(source));
    // The length is 32-bit: a longer file is refused before anything is copied.
    const int64_t sourceSize = source.Size();
    if (sourceSize < 0 || static_cast<uint64_t>(sourceSize) > kMaxImageLength) {
        ReportFailure(chipData, &work);
        return;
    }
    // The copy and the image share one open: reopening would drop the lock.
    // The checksum is taken while the kernel copies.
    uint64_t copiedSum = 0;
    const CopyOutcome copied = CopyAndSumImageFile(source, work, copiedSum);
    if (copied.status != CopyStatus::Ok) {
        ReportFailure(chipData, &work);
        return;
    }
    const int64_t size = work.Size();
    if (size < 0 || static_cast<uint64_t>(size) > kMaxImageLength) {
        ReportFailure(chipData, &work);
        return;
    }
    const uint32_t length = static_cast<uint32_t>(size);
    uint64_t checksum = copiedSum;
    if (copied.bytes != length && !SumImageFile(work, length, checksum)) {
        ReportFailure(chipData, &work);
        return;
    }

    m_image.workCopy() = std::move(work);
    m_image.sourceFile() = std::move(source);
    m_image.SetLength(length);
    m_image.SetSizeText(SizeText(length));
    m_image.SetChecksum(checksum);
    m_image.SetNameText(chipData ? std::string("芯片内数据") : NameTextOf(path));

    if (RowCountOf(length) > kDisplayRowLimit)
        m_boxes.Show("文件过大,无法全部显示，但可以烧录！", "警告", MessageIcon::Exclamation);

    m_view.ImageLengthChanged(true);

    const bool editMode = m_editMode && m_editMode();
    if (!chipData) {
        m_status.SetStatus("文件打开成功", false, false);
        m_view.ImageFocusCleared();
        if (m_closeCellEditor) m_closeCellEditor();
        m_image.SetLoaded(true);
    } else {
        m_status.SetStatus("读取成功！", false, false);
        m_image.SetLoaded(true);
        m_view.ImageFocusCleared();
        if (m_closeCellEditor) m_closeCellEditor();
    }
    if (m_controls) m_controls->ShowLoaded(m_image, chipData, editMode);
    m_view.ImageChanged();
}

bool ImageLoader::HandleDroppedFiles(const std::vector<std::string>& paths, bool workerIdle) {
    if (!workerIdle || (m_controls && !m_controls->OpenEnabled())) {
        m_boxes.Show("当前不能执行此操作！   ", "提示", MessageIcon::Information);
        return false;
    }
    if (paths.empty()) return false;
    LoadImageFile(paths.front(), true);
    return true;
}

bool ImageLoader::ResolveTruncatedChipImage() {
    if (!m_image.loaded() || m_image.sourcePath() != m_chipWorkFilePath) return m_image.loaded();
    if (!m_image.IsSourceOpen()) {
        File source;
        if (OpenSource(m_chipWorkFilePath, true, source)) {
            m_image.sourceFile() = std::move(source);
        } else {
            m_image.Unload();
            m_view.ImageRowsReset();
            m_view.ImageLengthChanged(false);
        }
    }
    m_view.ImageChanged();
    return m_image.loaded();
}
