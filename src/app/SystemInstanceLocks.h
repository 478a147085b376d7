#pragma once

#include <memory>
#include <vector>

#include "app/StartupSequence.h"
#include "platform/InstanceLock.h"

// The start-up's locks on lock files (InstanceLock). A lock that cannot be made
// at all (no usable runtime directory) does not stop the program: it then runs
// without the single-instance guard rather than not at all.
class SystemInstanceLocks : public InstanceLocks {
public:
    // `directory` empty: InstanceLock::RuntimeDirectory().
    explicit SystemInstanceLocks(std::string directory = {}) : m_directory(std::move(directory)) {}
    bool IsHeldElsewhere(const std::string& name) override;
    bool Hold(const std::string& name) override;
    // A hidden lock file ".NAME.lock" in `directory`; a directory where it cannot be
    // made (read only) does not stop the program either.
    bool HoldInDirectory(const std::string& name, const std::string& directory) override;

private:
    bool HoldLock(std::unique_ptr<InstanceLock> lock);

    std::string m_directory;
    std::vector<std::unique_ptr<InstanceLock>> m_held;
};
