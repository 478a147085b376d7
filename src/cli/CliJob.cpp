#include "cli/CliJob.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/CliPorts.h"
#include "cli/CliTexts.h"
#include "cli/ConsoleOutput.h"
#include "cli/ImageGate.h"
#include "cli/OutputFile.h"
#include "device/ChipModel.h"
#include "device/Detection.h"
#include "device/Device.h"
#include "device/DeviceState.h"
#include "device/DeviceTexts.h"
#include "hexview/HexView.h"
#include "hexview/ScrollBarPort.h"
#include "image/FileImage.h"
#include "image/ImageLoader.h"
#include "operations/ChipOperations.h"
#include "operations/OperationTexts.h"
#include "operations/WorkerState.h"
#include "platform/InstanceLock.h"
#include "widgets/GridModel.h"

namespace {

constexpr const char* kWorkCopyName = "h_alor1.dll";
constexpr const char* kChipWorkName = "h_alor0.dll";

class NoScrollBar : public ScrollBarPort {
public:
    void SetRange(int, bool) override {}
    void SetPosition(int) override {}
    void TakeFocus() override {}
};

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::string VerifySummaryPrefix() {
    const std::string format = OperationText::VerifySummary;
    return format.substr(0, format.find('%'));
}

// The count of "校验结束，共%d个错误..."; 0 for any other text.
int DifferencesInSummary(const std::string& status) {
    const std::string prefix = VerifySummaryPrefix();
    if (!StartsWith(status, prefix.c_str())) return 0;
    return std::atoi(status.c_str() + prefix.size());
}

uint8_t WorkerCodeOf(CliCommand command) {
    switch (command) {
        case CliCommand::Write:
            return WorkerCode::Auto;
        case CliCommand::Erase:
            return WorkerCode::Erase;
        case CliCommand::Program:
            return WorkerCode::Program;
        case CliCommand::Verify:
            return WorkerCode::Verify;
        case CliCommand::Read:
            return WorkerCode::ReadChip;
        case CliCommand::Blank:
            return WorkerCode::BlankCheck;
        case CliCommand::Detect:
            return WorkerCode::DetectWithMessage;
    }
    return WorkerCode::None;
}

// Everything one job needs of the window's core, wired as ProgrammerCore wires it.
class Job {
public:
    Job(const JobSetup& setup, ConsoleOutput& console)
        : m_setup(setup),
          m_status(console, setup.index, setup.clock),
          m_boxes(console, setup.index, setup.options.allowOverflow, setup.options.maxDifferences),
          m_view(m_image, m_grid, m_scrollBar, m_commands, m_state),
          m_model(m_modelList, m_texts),
          m_device(setup.api, m_model, m_commands, m_image),
          m_loader(m_image, m_view, m_grid, m_status, m_boxes, m_commands, m_texts,
                   setup.workDirectory + kWorkCopyName, setup.workDirectory + kChipWorkName),
          m_operations(OperationContext{m_state, m_device, m_model, m_image, m_status, m_boxes, m_sounds,
                                        m_window, m_readView, setup.workDirectory + kChipWorkName}) {
        m_view.SetUpHexGrid();
        m_model.ApplyChipModel(kDefaultChipModelRow);
        m_device.SetIndex(setup.index);
    }

    JobResult Run() {
        JobResult result;
        result.device = m_setup.index;
        result.command = m_setup.options.command;
        result.file = m_setup.file;
        const double start = m_setup.clock();
        result.exit = Execute(result);
        result.seconds = m_setup.clock() - start;
        result.status = m_status.lastText();
        // Past --max-differences the verify counts without asking: its summary has the total.
        result.differences = std::max(m_boxes.differences(), DifferencesInSummary(result.status));
        m_image.Unload();
        return result;
    }

private:
    ExitStatus Fail(ExitStatus exit, const std::string& text) {
        m_status.SetStatus(text, true, false);
        return exit;
    }

    ExitStatus Execute(JobResult& result) {
        const CliCommand command = m_setup.options.command;
        InstanceLock programmerLock(ProgrammerLockName(m_setup.index), m_setup.lockDirectory);
        if (programmerLock.TryAcquire() == InstanceLock::Result::HeldElsewhere) {
            char text[128];
            std::snprintf(text, sizeof text, CliText::ProgrammerBusy, m_setup.index);
            return Fail(ExitStatus::NoProgrammer, text);
        }

        if (CommandNeedsImage(command)) {
            m_loader.LoadImageFile(m_setup.file, true);
            if (!m_image.loaded()) return ExitStatus::FileError;  // the loader said why
            // Open, the work copy needs no name: a job that is killed leaves no copy behind.
            std::remove(m_loader.workCopyPath().c_str());
            const std::string refusal = ImageRefusal(command, m_image.length(), m_setup.file);
            if (!refusal.empty()) return Fail(ExitStatus::FileError, refusal);
        }
        OutputFile output;
        if (command == CliCommand::Read && !output.Prepare(m_setup.file))
            return Fail(ExitStatus::FileError, CliText::OutputFailed + m_setup.file);

        const OperationOutcome outcome = RunOperation(command);
        // The window just closes the question; a script needs to read why nothing happened.
        if (outcome.overflowRefused) m_status.SetStatus(CliText::OverflowRefused, true, false);
        const ExitStatus exit = ClassifyOutcome(outcome);
        if (exit != ExitStatus::NoProgrammer && exit != ExitStatus::NoChip) {
            const int row = m_model.row();
            if (row >= 0 && row < static_cast<int>(kChipModels.size())) result.chip = kChipModels[row].text;
            result.capacity = m_model.ChipCapacity();
        }
        if (exit == ExitStatus::Success)
            result.bytes = NominalBytes(command);
        else
            result.bytes = m_status.lastBytes();
        if (exit == ExitStatus::Success && command == CliCommand::Read &&
            !output.Publish(m_setup.workDirectory + kChipWorkName))
            return Fail(ExitStatus::FileError, CliText::OutputFailed + m_setup.file);
        return exit;
    }

    OperationOutcome RunOperation(CliCommand command) {
        m_status.SetTotals([this] { return uint64_t{m_image.length()}; },
                           [this] { return uint64_t{m_model.ChipCapacity()}; });
        // The operations tell a standalone command from an auto-sequence step by the slot.
        m_state.WorkerCommand = WorkerCodeOf(command);
        OperationOutcome outcome;
        switch (command) {
            case CliCommand::Detect: {
                Detection detection(m_device, m_model, m_status, m_boxes, m_commands, m_image);
                outcome.succeeded = detection.DetectWithMessage() == ChipReady;
                break;
            }
            case CliCommand::Read:
                m_operations.ReadChip();
                break;
            case CliCommand::Write:
                outcome.succeeded = m_operations.AutoSequence();
                break;
            case CliCommand::Verify:
                outcome.succeeded = m_operations.VerifyChip(1);
                break;
            case CliCommand::Erase:
                outcome.succeeded = m_operations.EraseChip(1);
                break;
            case CliCommand::Blank:
                outcome.succeeded = m_operations.BlankCheck();
                break;
            case CliCommand::Program:
                outcome.succeeded = m_operations.ProgramChip(1);
                break;
        }
        m_state.WorkerCommand = WorkerCode::Idle;
        outcome.lastStatus = m_status.lastText();
        if (command == CliCommand::Read) outcome.succeeded = outcome.lastStatus == OperationText::ReadDone;
        outcome.overflowRefused = m_boxes.overflowRefused();
        outcome.differences = m_boxes.differences();
        return outcome;
    }

    uint64_t NominalBytes(CliCommand command) const {
        const uint64_t capacity = m_model.ChipCapacity();
        switch (command) {
            case CliCommand::Detect:
                return 0;
            case CliCommand::Read:
            case CliCommand::Erase:
            case CliCommand::Blank:
                return capacity;
            case CliCommand::Write:
            case CliCommand::Verify:
            case CliCommand::Program:
                return std::min<uint64_t>(m_image.length(), capacity);
        }
        return 0;
    }

    const JobSetup& m_setup;
    WorkerState m_state;
    JobStatusLine m_status;
    OptionAnswers m_boxes;
    NoCommandStates m_commands;
    NoControlTexts m_texts;
    NoChipModelList m_modelList;
    NoScrollBar m_scrollBar;
    SilentSounds m_sounds;
    InlineWindowThread m_window;
    NoReadView m_readView;
    FileImage m_image;
    GridModel m_grid;
    HexView m_view;
    ChipModelSelection m_model;
    Device m_device;
    ImageLoader m_loader;
    ChipOperations m_operations;
};

}  // namespace

ExitStatus ClassifyOutcome(const OperationOutcome& outcome) {
    if (outcome.lastStatus == DeviceText::NotConnected) return ExitStatus::NoProgrammer;
    if (outcome.lastStatus == DeviceText::NoChip) return ExitStatus::NoChip;
    if (outcome.overflowRefused) return ExitStatus::FileError;
    if (outcome.succeeded) return ExitStatus::Success;
    if (outcome.differences > 0 || StartsWith(outcome.lastStatus, VerifySummaryPrefix().c_str()))
        return ExitStatus::VerifyDifference;
    return ExitStatus::OperationFailed;
}

std::vector<std::string> JobWorkFileNames() {
    return {kWorkCopyName, kChipWorkName};
}

std::string ProgrammerLockName(int index) {
    std::string name = "XJQT_Tarlo 编程器";
    name += std::to_string(index);
    return name;
}

JobResult RunJob(const JobSetup& setup, ConsoleOutput& console) {
    Job job(setup, console);
    return job.Run();
}

std::string JobResultJson(const JobResult& r) {
    using json = nlohmann::ordered_json;
    const auto textOrNull = [](const std::string& text) { return text.empty() ? json() : json(text); };
    json object = json::object();
    object["device"] = r.device;
    object["chip"] = textOrNull(r.chip);
    object["capacity"] = r.capacity;
    object["operation"] = CommandName(r.command);
    object["file"] = textOrNull(r.file);
    object["bytes"] = r.bytes;
    object["seconds"] = std::round(r.seconds * 1000) / 1000;
    object["outcome"] = OutcomeName(r.exit);
    object["exit"] = ExitCode(r.exit);
    object["differences"] = r.differences;
    object["status"] = r.status;
    object["reason"] = textOrNull(r.reason);
    // A file name need not be UTF-8; what is not becomes U+FFFD, so every line parses.
    return object.dump(-1, ' ', false, json::error_handler_t::replace);
}
