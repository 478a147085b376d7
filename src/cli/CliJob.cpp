#include "cli/CliJob.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/ChipChoice.h"
#include "cli/CliPorts.h"
#include "cli/CliTexts.h"
#include "cli/ConsoleOutput.h"
#include "cli/ImageGate.h"
#include "cli/OutputFile.h"
#include "cli/StreamImage.h"
#include "device/ChipIdentityText.h"
#include "device/ChipModel.h"
#include "device/Device.h"
#include "device/DeviceState.h"
#include "image/FileImage.h"
#include "image/ImageLoader.h"
#include "operations/ProgrammerSession.h"
#include "operations/WorkerState.h"
#include "platform/InstanceLock.h"
#include "platform/InstanceNames.h"
#include "ports/ImageObserver.h"

namespace {

constexpr const char* kWorkCopyName = "h_alor1.dll";
constexpr const char* kChipWorkName = "h_alor0.dll";

// The chip's typical whole-chip erase time as the driver knows it; 0 when it does not.
uint32_t ChipEraseMs(const Device& device) {
    const DriverApi& api = device.api();
    VelmorEraseBlocks blocks{};
    if (!api.QuovixGetEraseBlocks || api.QuovixGetEraseBlocks(device.handle(), &blocks) == 0) return 0;
    return blocks.chip_erase_ms;
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

// One job: the programmer session and the loader, reporting to the console.
class Job {
public:
    Job(const JobSetup& setup, ConsoleOutput& console)
        : m_setup(setup),
          m_console(console),
          m_status(console, setup.index, setup.clock),
          m_boxes(console, setup.index, setup.options.allowOverflow, setup.options.maxDifferences),
          m_session(setup.api, m_image, SessionPorts{m_status, m_boxes, m_sounds, m_window, m_readView},
                    setup.workDirectory + kChipWorkName),
          m_loader(m_image, m_view, m_status, m_boxes, setup.workDirectory + kWorkCopyName,
                   setup.workDirectory + kChipWorkName) {
        m_session.model().ApplyChipModel(kDefaultChipModelRow);
        m_session.device().SetIndex(setup.index);
        m_session.device().ForceModelRow(setup.forcedRow);
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
            result.busy = true;
            return Fail(ExitStatusOf(OperationOutcome::Of(OutcomeKind::ProgrammerBusy)), text);
        }

        if (CommandNeedsImage(command)) {
            m_loader.LoadImageFile(m_setup.imagePath.empty() ? m_setup.file : m_setup.imagePath, true);
            if (!m_image.loaded()) return ExitStatus::FileError;  // the loader said why
            // Open, the work copy needs no name: a job that is killed leaves no copy behind.
            std::remove(m_loader.workCopyPath().c_str());
            const std::string refusal = ImageRefusal(command, m_image.length(), m_setup.file);
            if (!refusal.empty()) return Fail(ExitStatus::FileError, refusal);
        }
        OutputFile output;
        const bool toStream = m_setup.file == StandardStreamFile;
        if (command == CliCommand::Read && !toStream && !output.Prepare(m_setup.file))
            return Fail(ExitStatus::FileError, CliText::OutputFailed + m_setup.file);

        // An unknown chip's size would be a guess: refused before its contents are touched.
        if (command != CliCommand::Detect && m_setup.forcedRow < 0 && ChipIsUnknown(result))
            return Fail(ExitStatus::NoChip, UnknownChipRefusal(*result.identity));

        const OperationOutcome outcome = RunOperation(command);
        result.identity = m_session.device().identity();
        // The window just closes the question; a script needs to read why nothing happened.
        if (outcome.kind == OutcomeKind::Refused) m_status.SetStatus(CliText::OverflowRefused, true, false);
        // Past --max-differences the verify counts on without listing: the outcome has the total.
        result.differences = outcome.differences;
        result.changed = m_setup.options.changed && command == CliCommand::Write;
        result.sectors = outcome.sectors;
        result.touched = outcome.touched;
        const ExitStatus exit = ExitStatusOf(outcome);
        if (outcome.kind != OutcomeKind::NoProgrammer && outcome.kind != OutcomeKind::NoChip) {
            const int row = m_session.model().row();
            if (row >= 0 && row < static_cast<int>(kChipModels.size())) result.chip = kChipModels[row].text;
            result.capacity = m_session.model().ChipCapacity();
        }
        // A failure counts what the progress line last showed, as the console did.
        result.bytes = outcome.succeeded() ? outcome.bytes : m_status.lastBytes();
        if (command == CliCommand::Detect && result.identity) {
            m_console.Status(m_setup.index, ChipIdentityReport(*result.identity));
            if (exit == ExitStatus::Success && m_setup.forcedRow < 0 && IsUnknownChip(result.identity))
                return Fail(ExitStatus::NoChip, UnknownChipRefusal(*result.identity));
        }
        if (exit == ExitStatus::Success && command == CliCommand::Read && toStream &&
            StreamImage::Send(m_setup.workDirectory + kChipWorkName, m_setup.imageOut) !=
                StreamImage::Result::Ok)
            return Fail(ExitStatus::FileError, CliText::OutputLost);
        if (exit == ExitStatus::Success && command == CliCommand::Read && !toStream &&
            !output.Publish(m_setup.workDirectory + kChipWorkName))
            return Fail(ExitStatus::FileError, CliText::OutputFailed + m_setup.file);
        return exit;
    }

    // The connection check alone, which identifies the chip; the operation checks again.
    bool ChipIsUnknown(JobResult& result) {
        Device& device = m_session.device();
        const int state = device.CheckDevice();
        result.identity = device.identity();
        device.CloseDevice();
        return state == ChipReady && IsUnknownChip(result.identity);
    }

    OperationOutcome RunOperation(CliCommand command) {
        m_status.SetTotals([this] { return uint64_t{m_image.length()}; },
                           [this] { return uint64_t{m_session.model().ChipCapacity()}; });
        m_status.SetEraseEstimate([this] { return ChipEraseMs(m_session.device()); });
        const bool changed = m_setup.options.changed && command == CliCommand::Write;
        return m_session.ExecuteInline(changed ? WorkerCode::ChangedWrite : WorkerCodeOf(command));
    }

    const JobSetup& m_setup;
    ConsoleOutput& m_console;
    JobStatusLine m_status;
    OptionAnswers m_boxes;
    SilentSounds m_sounds;
    InlineWindowThread m_window;
    NoReadView m_readView;
    FileImage m_image;
    ProgrammerSession m_session;
    NoImageObserver m_view;
    ImageLoader m_loader;
};

}  // namespace

std::vector<std::string> JobWorkFileNames() {
    return {kWorkCopyName, kChipWorkName};
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
    object["jedec"] = r.identity ? json(JedecText(r.identity->jedec_id)) : json();
    object["maker"] = r.identity ? textOrNull(r.identity->maker) : json();
    object["part"] = r.identity ? textOrNull(FirstPartName(*r.identity)) : json();
    object["identity"] = r.identity ? json(IdentitySourceName(*r.identity)) : json();
    object["operation"] = CommandName(r.command);
    object["file"] = textOrNull(r.file);
    object["bytes"] = r.bytes;
    object["seconds"] = std::round(r.seconds * 1000) / 1000;
    object["outcome"] = r.busy ? "busy" : OutcomeName(r.exit);
    object["exit"] = ExitCode(r.exit);
    object["differences"] = r.differences;
    object["status"] = r.status;
    object["reason"] = textOrNull(r.reason);
    if (r.changed) {
        // Null when the chip's erase blocks were unknown and the whole chip was written.
        object["sectors"] = r.sectors > 0 ? json(r.sectors) : json();
        object["touched"] = r.sectors > 0 ? json(r.touched) : json();
    }
    // A file name need not be UTF-8; what is not becomes U+FFFD, so every line parses.
    return object.dump(-1, ' ', false, json::error_handler_t::replace);
}
