#include <unistd.h>

#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "platform/InterruptCleanup.h"
#include "platform/StandardStreams.h"
#include "platform/UserWorkDirectory.h"

int main(int argc, char** argv) {
    // Ctrl-C in the middle of a read leaves neither a half-written file nor work files.
    InterruptCleanup::InstallHandlers();
    CliEnvironment environment;
    // Before anything opens a file: a closed stream's number must not go to one.
    StandardStreams::ReopenIfClosed(STDIN_FILENO);
    environment.outClosed = StandardStreams::ReopenIfClosed(STDOUT_FILENO);
    environment.errClosed = StandardStreams::ReopenIfClosed(STDERR_FILENO);
    // File arguments mean the directory the user stands in, not the work directory.
    const std::string start = ProcessWorkDirectorySetting().currentDirectory;
    if (EnterWorkDirectory("xjqt-tarlo").kind == WorkDirectoryChoice::Kind::PerUser)
        environment.startDirectory = start;
    environment.inIsTerminal = isatty(STDIN_FILENO) == 1;
    environment.outIsTerminal = isatty(STDOUT_FILENO) == 1;
    environment.errIsTerminal = isatty(STDERR_FILENO) == 1;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return ExitCode(RunCommandLine(arguments, environment));
}
