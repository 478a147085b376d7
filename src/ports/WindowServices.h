#pragma once

#include <functional>
#include <string>
#include <vector>

// Services of the main window that the core asks for on the window thread,
// besides the ports of WindowPorts.h. The Qt side implements them; tests
// implement them with recorders.

// One entry of a file dialog's filter list.
struct OpenDialogFilter {
    std::string label;                  // shown in the dialog
    std::vector<std::string> patterns;  // glob patterns
};

// The standard open-file and save-file dialogs.
class FileDialogPort {
public:
    virtual ~FileDialogPort() = default;
    // The chosen full path, or empty when the user cancelled.
    virtual std::string ChooseOpenFile(const std::vector<OpenDialogFilter>& filters,
                                       const std::string& defaultSuffix) = 0;
    // The chosen full path, or empty when the user cancelled. The dialog asks
    // before an existing file is chosen, so a path given back may be overwritten.
    virtual std::string ChooseSaveFile(const std::vector<OpenDialogFilter>& filters,
                                       const std::string& defaultSuffix) = 0;
};

enum class ShellOpenResult { Opened, FileNotFound, Failed };

// The program's own viewer windows: the manual where no desktop viewer takes it,
// and the GBK change log, which desktop editors would take for another encoding.
enum class OwnViewer { Manual, ChangeLog };

// The desktop's "open" verb (help file), and the program's own viewers.
class ShellPort {
public:
    virtual ~ShellPort() = default;
    // Failed also when no desktop application is registered for the file's type.
    virtual ShellOpenResult Open(const std::string& path) = 0;
    // FileNotFound when the file is missing; otherwise the window shows it.
    virtual ShellOpenResult ShowInOwnViewer(const std::string& path, OwnViewer viewer) = 0;
};

// The modal about box.
class AboutBoxPort {
public:
    virtual ~AboutBoxPort() = default;
    virtual void ShowAboutBox() = 0;
};

// Lifetime of the window as the shutdown needs it.
class WindowLifetime {
public:
    virtual ~WindowLifetime() = default;
    // Keeps serving the window thread's events (the worker's status updates and
    // questions) until `done` is true, so a worker that waits for the window can
    // finish. User input is not handled meanwhile.
    virtual void ServeUntil(const std::function<bool()>& done) = 0;
    // Ends the main window (the exit command); the core has shut down already.
    virtual void EndWindow() = 0;
};
