#include "image/ImageSaver.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "image/ChangeLog.h"
#include "image/ChangeLogFormat.h"
#include "image/DisplayPath.h"
#include "image/FileImage.h"
#include "image/ImageFileCopy.h"
#include "image/ImageLoader.h"
#include "platform/File.h"
#include "platform/FileState.h"
#include "platform/LocalTime.h"
#include "platform/ReplacementFile.h"
#include "platform/SystemFiles.h"
#include "ports/CommandIds.h"
#include "ports/ImageObserver.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"

namespace {

// The comparison reads both files in pieces of this size; what lands and what is
// logged is the same as for a byte-by-byte loop.
constexpr size_t kCompareBytes = 256 * 1024;

// First index from `i` on where `work` differs from `old`; every byte at or past
// `oldCount` differs (the source ended there). `count` when none does.
size_t NextDifference(const uint8_t* work, const uint8_t* old, size_t oldCount, size_t i, size_t count) {
    const size_t limit = std::min(oldCount, count);
    while (i + 4096 <= limit && std::memcmp(work + i, old + i, 4096) == 0) i += 4096;
    while (i + 64 <= limit && std::memcmp(work + i, old + i, 64) == 0) i += 64;
    while (i < limit && work[i] == old[i]) ++i;
    return i;
}

// End of the run of differing bytes that starts at `i`.
size_t RunEnd(const uint8_t* work, const uint8_t* old, size_t oldCount, size_t i, size_t count) {
    while (i < count && (i >= oldCount || work[i] != old[i])) ++i;
    return i;
}

}  // namespace

std::vector<OpenDialogFilter> SaveDialogFilters() {
    return {
        {"bin文件(*.bin)", {"*.bin"}},
        {"rom文件(*.rom)", {"*.rom"}},
        // Shown as "*.*"; the window's dialog lets it match names without a dot too.
        {"其他文件(*.*)", {"*.*"}},
    };
}

ImageSaver::ImageSaver(FileImage& image, ImageLoader& loader, ImageObserver& view, ChangeLog& log,
                       SavePorts ports)
    : m_image(image), m_loader(loader), m_view(view), m_log(log), m_ports(ports), m_clock(LocalTimeNow) {}

bool ImageSaver::IsWorkFile(const std::string& path) const {
    const std::string& work = m_loader.workCopyPath();
    const std::string& chip = m_loader.chipWorkFilePath();
    // Another spelling of a work file (a link, "..") is the same system file.
    if (path == work || path == chip || IsSameFile(path, work) || IsSameFile(path, chip)) return true;
    // The product data, the log, the sounds and the lock live beside the work copy.
    return SystemFiles::IsSystemFile(path, std::filesystem::path(work).parent_path().string());
}

bool ImageSaver::IsLoadedFile(const std::string& path) const {
    return path == m_image.sourcePath() || IsSameFile(path, m_image.sourcePath());
}

std::string ImageSaver::ChooseTarget() {
    const std::string path =
        m_ports.fileDialog.ChooseSaveFile(SaveDialogFilters(), kSaveDialogDefaultExtension);
    if (path.empty()) return {};
    if (IsWorkFile(path)) {
        m_ports.boxes.Show("禁止修改系统文件！   ", "警告", MessageIcon::Exclamation);
        return {};
    }
    return path;
}

void ImageSaver::SaveImage() {
    if (!m_image.loaded() || !WorkCopyFree()) return;
    if (m_image.sourcePath() == m_loader.chipWorkFilePath())
        SaveChipData();
    else
        SaveInPlace();
}

void ImageSaver::SaveInPlace() {
    if (m_commitCellEdit) m_commitCellEdit();
    const std::string path = m_image.sourcePath();
    if (ChangedOutside(path)) {
        // Writing now would put back the other program's bytes and log changes nobody made.
        if (m_ports.boxes.Show(kChangedOutsideMessage, "警告", MessageIcon::Exclamation,
                               MessageButtons::YesNo) == MessageAnswer::Yes)
            SaveImageAs();
        return;
    }
    // Written in place, so the user's file keeps its inode, links and permissions.
    File source;
    if (!source.Open(path, File::Mode::ReadWrite)) return ReportFailure();
    const std::string stamp = ChangeLogFormat::Stamp(m_clock());
    const std::string head = ChangeLogFormat::FileHead(stamp, NameTextOf(path));
    uint64_t lineBytes = 0;
    if (!MeasureDifferences(source, lineBytes)) return ReportFailure();
    // The whole block has its room on the disk before the source is touched: no byte
    // changes without its line.
    if (!m_log.Open()) return ReportLogFailure();
    if (!m_log.Reserve(head.size() + lineBytes + ChangeLogFormat::kBlockEnd.size()) || !m_log.Append(head) ||
        !m_log.Flush()) {
        m_log.RollBack();
        return ReportLogFailure();
    }
    bool ok = WriteDifferences(source);
    // The block is closed even after a failed write; it lists the bytes that landed.
    ok = m_log.Append(ChangeLogFormat::kBlockEnd) && ok;
    ok = source.Sync() && ok;
    ok = m_log.Sync() && ok;
    m_log.Close();
    // This program's own writes are no change from outside.
    m_image.SetSourceState(FileStateOf(source));
    if (!ok) {
        // Bytes that did land no longer show as changed; the rest still do.
        m_view.ImageChanged();
        return ReportFailure();
    }
    File readOnly;
    if (readOnly.Open(path, File::Mode::ReadOnly)) m_image.sourceFile() = std::move(readOnly);
    Saved();
}

bool ImageSaver::ChangedOutside(const std::string& path) const {
    const std::optional<FileState>& loaded = m_image.sourceState();
    if (!loaded) return false;
    const std::optional<FileState> now = FileStateOf(path);
    return !now || *now != *loaded;
}

bool ImageSaver::ForEachRun(File& source, const RunVisitor& visit) {
    const int64_t sourceSize = source.Size();
    if (sourceSize < 0) return false;
    // Bytes past the source's end at the start are new, whatever this save appends.
    const uint64_t oldEnd = static_cast<uint64_t>(sourceSize);
    std::vector<uint8_t> work(kCompareBytes);
    std::vector<uint8_t> old(kCompareBytes);
    for (uint64_t pos = 0;;) {
        const int64_t read = m_image.ReadWork(pos, work.data(), kCompareBytes);
        if (read < 0) return false;
        const size_t count = static_cast<size_t>(read);
        size_t oldCount = 0;
        if (pos < oldEnd) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(count, oldEnd - pos));
            const int64_t got = source.ReadAt(pos, old.data(), want);
            if (got < 0) return false;
            oldCount = static_cast<size_t>(got);
        }
        for (size_t i = NextDifference(work.data(), old.data(), oldCount, 0, count); i < count;
             i = NextDifference(work.data(), old.data(), oldCount, i, count)) {
            const size_t end = RunEnd(work.data(), old.data(), oldCount, i, count);
            if (!visit(Run{pos, work.data(), old.data(), oldCount, i, end})) return false;
            i = end;
        }
        pos += count;
        if (count < kCompareBytes) return true;
    }
}

bool ImageSaver::MeasureDifferences(File& source, uint64_t& lineBytes) {
    char line[ChangeLogFormat::kChangeLineMax];
    const uint64_t knownOld = ChangeLogFormat::ChangeLine(0, 0, 0, line);
    const uint64_t noOld = ChangeLogFormat::ChangeLine(0, -1, 0, line);
    lineBytes = 0;
    return ForEachRun(source, [&](const Run& run) {
        const size_t known = std::clamp(run.oldCount, run.begin, run.end) - run.begin;
        lineBytes += known * knownOld + (run.end - run.begin - known) * noOld;
        return true;
    });
}

bool ImageSaver::WriteDifferences(File& source) {
    return ForEachRun(source, [&](const Run& run) {
        const size_t i = run.begin;
        const uint64_t at = run.base + i;
        if (!source.WriteAt(at, run.work + i, run.end - i)) {
            LogLanded(source, at, run.work + i, run.old + i, run.oldCount > i ? run.oldCount - i : 0,
                      run.end - i);
            return false;
        }
        for (size_t k = i; k < run.end; ++k) {
            if (!m_log.AppendChange(static_cast<uint32_t>(run.base + k), k < run.oldCount ? run.old[k] : -1,
                                    run.work[k]))
                return false;
        }
        return true;
    });
}

void ImageSaver::LogLanded(File& source, uint64_t offset, const uint8_t* work, const uint8_t* old,
                           size_t oldCount, size_t count) {
    std::vector<uint8_t> now(count);
    const int64_t got = source.ReadAt(offset, now.data(), count);
    for (int64_t k = 0; k < got; ++k) {
        const size_t i = static_cast<size_t>(k);
        // Every byte of the run differed from the source: one that matches now landed.
        if (now[i] == work[i])
            m_log.AppendChange(static_cast<uint32_t>(offset + i), i < oldCount ? old[i] : -1, work[i]);
    }
}

void ImageSaver::SaveChipData() {
    const std::string target = ChooseTarget();
    if (target.empty()) return;
    // A chip operation may have started while the dialog was open.
    if (!WorkCopyFree()) return;
    if (m_commitCellEdit) m_commitCellEdit();
    const std::string stamp = ChangeLogFormat::Stamp(m_clock());
    const std::string block = ChangeLogFormat::ChipHead(stamp) +
                              ChangeLogFormat::ChipLine(NameTextOf(target)) +
                              std::string(ChangeLogFormat::kBlockEnd);
    // The block's room first: a file is never replaced without its line in the log.
    if (!m_log.Open()) return ReportLogFailure();
    if (!m_log.Reserve(block.size())) {
        m_log.RollBack();
        return ReportLogFailure();
    }
    if (!WriteCopy(target)) {
        m_log.Close();
        return ReportFailure();
    }
    const bool logged = m_log.Append(block) && m_log.Sync();
    m_log.Close();
    if (!logged) return ReportFailure();
    m_ports.texts.SetText(CommandId::PathBox, "芯片数据已保存");
    m_loader.LoadImageFile(target, true);
    // The loader has reported its own failure.
    if (!m_image.loaded()) return;
    Saved();
}

bool ImageSaver::WriteCopy(const std::string& target) {
    ReplacementFile replacement;
    if (!replacement.Create(target)) return false;
    if (CopyImageFile(m_image.workCopy(), replacement.file()).status != CopyStatus::Ok) return false;
    return replacement.Commit();
}

void ImageSaver::SaveImageAs() {
    if (!m_image.loaded() || !WorkCopyFree()) return;
    const std::string target = ChooseTarget();
    if (target.empty()) return;
    // The loaded file itself (under any spelling) is saved in place, log block included.
    if (IsLoadedFile(target)) return SaveImage();
    if (!WorkCopyFree()) return;
    if (!WriteCopy(target)) return ReportFailure();
    m_ports.status.SetStatus("文件已保存...", false, false);
    if (m_image.sourcePath() == m_loader.chipWorkFilePath()) {
        m_ports.texts.SetText(CommandId::PathBox, "芯片数据已保存");
        m_image.SetSourcePath(target);
        m_loader.LoadImageFile(target, true);
    }
}

void ImageSaver::ShowChangeLog() {
    // The program's own window: it decodes GBK, which a desktop editor may not.
    if (m_ports.shell.ShowInOwnViewer(m_log.path(), OwnViewer::ChangeLog) == ShellOpenResult::FileNotFound)
        m_ports.boxes.Show("文件被破坏，未发现文件！", "提示", MessageIcon::Exclamation);
}

void ImageSaver::Saved() {
    m_ports.commands.SetEnabled(CommandId::Save, false);
    m_ports.status.SetStatus("文件已保存...", false, false);
    m_view.ImageChanged();
}

void ImageSaver::ReportLogFailure() {
    m_ports.status.SetStatus("文件保存失败...", true, true);
    m_ports.boxes.Show("修改记录文件 " + NameTextOf(m_log.path()) + " 无法写入，文件未保存！", "警告",
                       MessageIcon::Exclamation);
}

void ImageSaver::ReportFailure() {
    m_ports.status.SetStatus("文件保存失败...", true, true);
    m_ports.boxes.Show("无法写入文件！", "警告", MessageIcon::Exclamation);
}
