#include "app/SystemInstanceLocks.h"

bool SystemInstanceLocks::IsHeldElsewhere(const std::string& name) {
    InstanceLock probe(name, m_directory);
    return probe.TryAcquire() == InstanceLock::Result::HeldElsewhere;
}

bool SystemInstanceLocks::Hold(const std::string& name) {
    return HoldLock(std::make_unique<InstanceLock>(name, m_directory));
}

bool SystemInstanceLocks::HoldInDirectory(const std::string& name, const std::string& directory) {
    std::string dir = directory;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty()) dir = ".";
    return HoldLock(std::make_unique<InstanceLock>("." + name, dir));
}

bool SystemInstanceLocks::HoldLock(std::unique_ptr<InstanceLock> lock) {
    const InstanceLock::Result result = lock->TryAcquire();
    if (result == InstanceLock::Result::HeldElsewhere) return false;
    if (result == InstanceLock::Result::Acquired) m_held.push_back(std::move(lock));
    return true;
}
