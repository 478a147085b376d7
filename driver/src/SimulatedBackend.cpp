#include "SimulatedBackend.h"

#include <cstdio>
#include <string>

#include <velmor.h>

#include "FileChipStore.h"
#include "InstalledChipDatabase.h"
#include "LastFailure.h"
#include "SimulatedProgrammer.h"
#include "SimulatorConfig.h"

namespace velmor {

namespace {

void tell(const std::string& message) {
    const std::string line = "velmor: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

SimulatorConfig SimulatedBackend::current() const {
    return m_config ? *m_config : loadSimulatorConfig(kSimulatorConfigFile);
}

int32_t SimulatedBackend::count() {
    const SimulatorConfig config = current();
    return config.programmerPresent ? static_cast<int32_t>(config.devices) : 0;
}

std::optional<OpenedProgrammer> SimulatedBackend::open(int32_t index) {
    const SimulatorConfig config = current();
    if (!config.programmerPresent || index < 0 || static_cast<uint32_t>(index) >= config.devices) {
        return std::nullopt;
    }
    if (config.accessDenied) {
        setLastFailure(VELMOR_REASON_ACCESS_DENIED);
        return std::nullopt;
    }
    std::unique_ptr<SimulatedChip> chip;
    std::unique_ptr<ChipStore> store;
    if (config.chip) {
        // A jedec id with a database row brings that part's size and address mode.
        SimulatedChipModel model = simulatedChipModel(config.effectiveJedecId(), config.chip->size,
                                                      config.sfdp, *installedChipDatabase());
        FileChipStore::Opened file = FileChipStore::open(simulatedChipFile(index), model.size);
        if (file.busy) {
            // Another process has the chip: to this one the programmer is not there.
            tell("simulated programmer busy: " + file.error);
            return std::nullopt;
        }
        if (file.store) {
            chip =
                std::make_unique<SimulatedChip>(std::move(model), std::move(file.contents), file.store.get());
            chip->setStuckBusy(config.stuckBusy);
            chip->setProtection(config.blockProtect, config.hardwareProtect);
            store = std::move(file.store);
        } else {
            // Without its file the chip cannot keep what is written: leave the socket empty.
            tell("simulated chip unavailable: " + file.error);
        }
    }
    SimulatedProgrammer::Settings settings;
    settings.present = true;
    settings.selfTestPasses = config.selfTestPasses;
    settings.blockDelayMs = config.blockDelayMs;
    settings.eraseMs = config.eraseMs;
    return OpenedProgrammer{
        std::make_unique<SimulatedProgrammer>(settings, std::move(chip), std::move(store)), config.faults};
}

}  // namespace velmor
