#include "app/SystemInstanceLocks.h"

bool SystemInstanceLocks::IsHeldElsewhere(const std::string& name) {
    InstanceLock probe(name, m_directory);
    return probe.TryAcquire() == InstanceLock::Result::HeldElsewhere;
}

bool SystemInstanceLocks::Hold(const std::string& name) {
    auto lock = std::make_unique<InstanceLock>(name, m_directory);
    const InstanceLock::Result result = lock->TryAcquire();
    if (result == InstanceLock::Result::HeldElsewhere) return false;
    if (result == InstanceLock::Result::Acquired) m_held.push_back(std::move(lock));
    return true;
}
