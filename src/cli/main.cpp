#include <unistd.h>

#include <string>
#include <vector>

#include "cli/CliApp.h"

int main(int argc, char** argv) {
    CliEnvironment environment;
    environment.outIsTerminal = isatty(STDOUT_FILENO) == 1;
    environment.errIsTerminal = isatty(STDERR_FILENO) == 1;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return ExitCode(RunCommandLine(arguments, environment));
}
