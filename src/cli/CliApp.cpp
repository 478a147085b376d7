#include "cli/CliApp.h"

#include <algorithm>
#include "cli/ChipChoice.h"
#include "cli/ChipsCommand.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <latch>
#include <thread>

#include "cli/CliJob.h"
#include "cli/CliOptions.h"
#include "cli/CliTexts.h"
#include "cli/ConsoleOutput.h"
#include "cli/DriverChoice.h"
#include "cli/FailureReason.h"
#include "cli/StreamImage.h"
#include "cli/WorkSpace.h"
#include "device/ProductDataFile.h"
#include "platform/DriverLibrary.h"
#include "platform/DriverTrace.h"
#include "platform/InstanceLock.h"
#include "platform/InstanceNames.h"
#include "platform/InterruptCleanup.h"
#include "platform/Leftovers.h"
#include "platform/SystemFiles.h"
#include "platform/UserWorkDirectory.h"

namespace {

// The jobs' work files live in a directory of this run alone, removed at the end,
// so neither another run nor the window ever shares them. An interrupted run
// removes them too.
class WorkDirectory {
public:
    explicit WorkDirectory(std::string parent) : m_parent(std::move(parent)) {
        if (m_parent.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            m_parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        }
        // What a run ended by SIGKILL left goes first; a running one's stays.
        Leftovers::RemoveOrphans(m_parent, kPrefix, '-');
        std::string pattern = m_parent + "/" + kPrefix + Leftovers::ProcessTag() + "-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        // No signal between making the directory and registering it.
        InterruptCleanup::Deferred deferred;
        if (mkdtemp(buffer.data()) == nullptr) return;
        m_path = buffer.data();
        m_cleanup.emplace_back(m_path, InterruptCleanup::Guard::Kind::Directory);
    }
    ~WorkDirectory() {
        if (m_path.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;

    bool ok() const { return !m_path.empty(); }
    const std::string& parent() const { return m_parent; }
    // A file of the run's own, removed with the directory, also on an interrupt.
    std::string File(const std::string& name) {
        const std::string path = m_path + "/" + name;
        m_cleanup.emplace_back(path, InterruptCleanup::Guard::Kind::File);
        return path;
    }
    // A subdirectory per job, ending with "/"; empty when it cannot be made.
    std::string ForJob(int index, const std::vector<std::string>& workFiles) {
        const std::string dir = m_path + "/" + std::to_string(index);
        InterruptCleanup::Deferred deferred;
        std::error_code error;
        std::filesystem::create_directory(dir, error);
        if (error) return std::string();
        m_cleanup.emplace_back(dir, InterruptCleanup::Guard::Kind::Directory);
        for (const std::string& name : workFiles)
            m_cleanup.emplace_back(dir + "/" + name, InterruptCleanup::Guard::Kind::File);
        return dir + "/";
    }

private:
    static constexpr const char* kPrefix = "xjqt-tarlo-";
    std::string m_parent;
    std::string m_path;
    std::vector<InterruptCleanup::Guard> m_cleanup;  // forgotten after the removal above
};

std::function<double()> SteadyClock() {
    return [] {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    };
}

// The run ends before any job: the text, and with --json its result object, so a
// script reading one object per result still gets one.
ExitStatus Refuse(ConsoleOutput& console, const CliOptions& options, ExitStatus exit,
                  const std::string& text) {
    console.Status(0, text);
    console.Failure(0, text);
    console.Finish();
    if (options.json) {
        JobResult result;
        result.command = options.command;
        result.file = options.file;
        result.exit = exit;
        result.status = text;
        console.Line(JobResultJson(result));
    }
    return exit;
}

}  // namespace

std::string PerProgrammerFile(const std::string& path, int index) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    std::string suffix = "-";
    suffix += std::to_string(index);
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string::npos || dot <= nameStart) return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

namespace {

// --version's driver lines: the library the run would load (or the one given as the table).
std::string VersionOfDriver(const CliEnvironment& environment) {
    if (environment.driver != nullptr) return DriverVersionLines(*environment.driver, {});
    DriverLibrary library;
    DriverApi api;
    const std::string refusal = LoadDriverLibrary(library, {}, api);
    return DriverVersionLines(api, refusal.empty() ? library.Path() : refusal);
}

ExitStatus RunCommands(const std::vector<std::string>& arguments, const CliEnvironment& environment) {
    // The chip list needs no programmer, lock or product data file.
    if (!arguments.empty() && arguments.front() == "chips")
        return RunChipsCommand(arguments, DriverLibrary::ExecutableDirectory(), environment.out,
                               environment.err);
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (parsed.version) {
        std::fputs(parsed.output.c_str(), environment.out);
        std::fputs(VersionOfDriver(environment).c_str(), environment.out);
        return ExitStatus::Success;
    }
    if (!parsed.run) {
        std::fputs(parsed.output.c_str(), environment.out);
        std::fputs(parsed.error.c_str(), environment.err);
        return parsed.exit;
    }
    // In the per-user work directory the paths the user typed still mean where they stand.
    CliOptions options = parsed.options;
    options.file = ResolveAgainst(environment.startDirectory, options.file);
    options.driverPath = ResolveAgainst(environment.startDirectory, options.driverPath);
    options.logPath = ResolveAgainst(environment.startDirectory, options.logPath);
    const bool imageFromInput =
        CommandNeedsImage(options.command) && parsed.options.file == StandardStreamFile;
    const bool readToOutput =
        options.command == CliCommand::Read && parsed.options.file == StandardStreamFile;
    if (imageFromInput || readToOutput) options.file = StandardStreamFile;
    // Image bytes on a terminal are a mistake, never what the user meant.
    if ((imageFromInput && environment.inIsTerminal) || (readToOutput && environment.outIsTerminal)) {
        std::fprintf(environment.err, "%s%s\n运行 %s --help 查看用法。\n", CliText::UsageError,
                     imageFromInput ? CliText::InputIsTerminal : CliText::OutputIsTerminal,
                     CliText::ProgramName);
        return ExitStatus::Usage;
    }
    const std::function<double()> clock = environment.clock ? environment.clock : SteadyClock();

    // A --chip that names nothing is a typing error, told before any programmer is asked.
    int forcedRow = -1;
    if (!options.chip.empty()) {
        const std::string libraryDirectory =
            options.driverPath.empty() ? DriverLibrary::ExecutableDirectory()
                                       : std::filesystem::path(options.driverPath).parent_path().string();
        // Bad rows are the driver's to report, at the connection check.
        const velmor::ChipDatabase database =
            velmor::loadChipDatabase(libraryDirectory, [](const std::string&) {});
        const std::optional<int> row = ChipModelRowFor(options.chip, database);
        if (!row) {
            std::fprintf(
                environment.err,
                "%s未知的芯片型号: %s（xjqt-tarlo chips 列出芯片数据库）\n运行 %s --help 查看用法。\n",
                CliText::UsageError, options.chip.c_str(), CliText::ProgramName);
            return ExitStatus::Usage;
        }
        forcedRow = *row;
    }

    // Before the programmers are counted, one line's worth of console for the refusals.
    ConsoleOutput::Setup setup;
    setup.out = environment.out;
    setup.err = environment.err;
    setup.outIsTerminal = environment.outIsTerminal;
    setup.errIsTerminal = environment.errIsTerminal;
    setup.json = options.json;
    setup.quiet = options.quiet;
    // Standard output carries the chip's bytes alone: texts and --json objects go to standard error.
    if (readToOutput) setup.out = environment.err;

    // The window and the jobs share programmers, not a name: each holds a programmer
    // only while it uses it (CliJob, ProgrammerCore). The sibling program knows no
    // such locks and drives the same programmers.
    InstanceLock sibling(InstanceName::Sibling, environment.lockDirectory);
    if (sibling.TryAcquire() == InstanceLock::Result::HeldElsewhere) {
        ConsoleOutput console(setup);
        return Refuse(console, options, ExitStatus::NoProgrammer, CliText::SiblingRunning);
    }
    sibling.Release();

    // The window's start-up rule: no work without an intact product data file.
    ProductDataFile dataFile;
    if (!dataFile.Open(environment.productDataDirectory + ProductDataFile::FileName)) {
        ConsoleOutput console(setup);
        return Refuse(console, options, ExitStatus::FileError, ProductDataText::Missing);
    }
    if (!dataFile.CheckIntegrity()) {
        ConsoleOutput console(setup);
        return Refuse(console, options, ExitStatus::FileError, ProductDataText::Damaged);
    }
    dataFile.Close();

    // A trace that cannot be kept is refused before any programmer is asked.
    DriverTrace trace;
    if (!options.logPath.empty()) {
        ConsoleOutput console(setup);
        if (SystemFiles::IsSystemFile(options.logPath, environment.productDataDirectory))
            return Refuse(console, options, ExitStatus::FileError,
                          CliText::SystemFileRefused + options.logPath);
        if (!trace.Open(options.logPath, clock))
            return Refuse(console, options, ExitStatus::FileError, CliText::LogFailed + options.logPath);
    }

    DriverLibrary library;
    DriverApi api;
    if (environment.driver != nullptr) {
        api = *environment.driver;
    } else {
        const std::string refusal = LoadDriverLibrary(library, options.driverPath, api);
        if (!refusal.empty()) {
            ConsoleOutput console(setup);
            return Refuse(console, options, ExitStatus::FileError, refusal);
        }
    }
    if (trace.IsOpen()) api = trace.Wrap(api);

    WorkDirectory work(environment.tempDirectory);
    if (!work.ok()) {
        ConsoleOutput console(setup);
        return Refuse(console, options, ExitStatus::FileError, CliText::WorkDirectoryFailed + work.parent());
    }
    // The image from standard input goes to a work file first: the jobs read it at offsets.
    std::string inputCopy;
    if (imageFromInput) {
        inputCopy = work.File("stdin.bin");
        const StreamImage::Result spooled = StreamImage::Spool(environment.in, inputCopy);
        if (spooled != StreamImage::Result::Ok) {
            ConsoleOutput console(setup);
            return Refuse(console, options, ExitStatus::FileError,
                          spooled == StreamImage::Result::StreamFailed
                              ? std::string(CliText::InputFailed)
                              : CliText::InputSpoolFailed + work.parent());
        }
    }
    const WorkSpace space(work.parent());

    // Without programmers --all still runs one job, which reports that none answered.
    int jobs = 1;
    if (options.all && api.QuovixEnum != nullptr) jobs = std::max(1, static_cast<int>(api.QuovixEnum()));
    setup.jobs = jobs;
    setup.labelled = options.all;
    ConsoleOutput console(setup);

    std::vector<JobSetup> setups(static_cast<size_t>(jobs));
    for (int i = 0; i < jobs; ++i) {
        JobSetup& s = setups[static_cast<size_t>(i)];
        s.api = api;
        s.index = i;
        s.options = options;
        s.file = options.all && options.command == CliCommand::Read ? PerProgrammerFile(options.file, i)
                                                                    : options.file;
        s.imagePath = inputCopy;
        s.imageOut = environment.out;
        s.workDirectory = work.ForJob(i, JobWorkFileNames());
        s.lockDirectory = environment.lockDirectory;
        s.clock = clock;
        s.forcedRow = forcedRow;
    }
    // A read never replaces one of the program's own files: decided before any chip is touched.
    for (const JobSetup& s : setups) {
        if (options.command == CliCommand::Read &&
            SystemFiles::IsSystemFile(s.file, environment.productDataDirectory))
            return Refuse(console, options, ExitStatus::FileError, CliText::SystemFileRefused + s.file);
    }
    std::vector<JobResult> results(static_cast<size_t>(jobs));
    const auto runJob = [&](int i) {
        JobResult& result = results[static_cast<size_t>(i)];
        result = RunJob(setups[static_cast<size_t>(i)], console);
        ExplainLibraryFailure(api, result, console, i);
    };
    if (jobs == 1) {
        runJob(0);
    } else {
        std::vector<std::thread> threads;
        threads.reserve(static_cast<size_t>(jobs));
        {
            // A signal stops every job before the clean-up; so none may start unseen.
            InterruptCleanup::Deferred deferred;
            std::latch started(jobs);
            for (int i = 0; i < jobs; ++i)
                threads.emplace_back([&, i] {
                    InterruptCleanup::Worker worker;
                    started.count_down();
                    runJob(i);
                });
            started.wait();
        }
        for (std::thread& t : threads) t.join();
    }
    for (const int slot : space.ExplainFailures(setups, results))
        console.Status(slot, results[static_cast<size_t>(slot)].status);
    console.Finish();
    for (int i = 0; i < jobs; ++i) {
        const JobResult& r = results[static_cast<size_t>(i)];
        if (r.exit != ExitStatus::Success) console.Failure(i, r.status);
    }

    ExitStatus exit = ExitStatus::Success;
    for (const JobResult& r : results) {
        if (options.json) console.Line(JobResultJson(r));
        if (exit == ExitStatus::Success) exit = r.exit;
    }
    // A trace asked for and not kept whole is a file error, said even when quiet.
    if (trace.IsOpen() && !trace.Close()) {
        std::fprintf(environment.err, "%s%s\n", CliText::LogWriteFailed, options.logPath.c_str());
        std::fflush(environment.err);
        if (exit == ExitStatus::Success) exit = ExitStatus::FileError;
    }
    return exit;
}

}  // namespace

ExitStatus RunCommandLine(const std::vector<std::string>& arguments, const CliEnvironment& environment) {
    ExitStatus exit = RunCommands(arguments, environment);
    // Output a script never received is no success; each stream's loss is said on the other.
    const bool outLost =
        environment.outClosed || std::fflush(environment.out) != 0 || std::ferror(environment.out) != 0;
    const bool errLost =
        environment.errClosed || std::fflush(environment.err) != 0 || std::ferror(environment.err) != 0;
    if (outLost && !errLost) std::fprintf(environment.err, "%s\n", CliText::OutputLost);
    // Standard output of --json holds the result objects alone, that of a read to "-" the chip's bytes.
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    const bool json = std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();
    const bool image =
        parsed.run && parsed.options.command == CliCommand::Read && parsed.options.file == StandardStreamFile;
    if (errLost && !outLost && !json && !image)
        std::fprintf(environment.out, "%s\n", CliText::ErrorOutputLost);
    if (outLost || errLost) {
        std::fflush(nullptr);
        exit = ExitStatus::FileError;
    }
    return exit;
}
