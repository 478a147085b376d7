#include "ProgrammerBackend.h"

#include "SimulatedBackend.h"
#include "SimulatorConfig.h"
#include "usb/LibusbBus.h"
#include "usb/UsbBackend.h"

namespace velmor {

namespace {

// Reads the configuration at every count and open, so a changed file applies
// to the next connection, and hands the call to the back end it names.
class SelectedBackend : public ProgrammerBackend {
public:
    explicit SelectedBackend(std::shared_ptr<UsbBus> bus) : m_bus(std::move(bus)) {}

    int32_t count() override { return current()->count(); }
    std::optional<OpenedProgrammer> open(int32_t index) override { return current()->open(index); }

private:
    std::unique_ptr<ProgrammerBackend> current() {
        const SimulatorConfig config = loadSimulatorConfig(kSimulatorConfigFile);
        if (config.backend == BackendChoice::Simulator) {
            return std::make_unique<SimulatedBackend>(config);
        }
        UsbBackend::Settings settings;
        settings.ch347 = config.backend != BackendChoice::Ch341a;
        settings.ch341a = config.backend != BackendChoice::Ch347;
        settings.ch347ClockKhz = config.spiClockKhz;
        return std::make_unique<UsbBackend>(m_bus, settings);
    }

    std::shared_ptr<UsbBus> m_bus;
};

}  // namespace

std::unique_ptr<ProgrammerBackend> createProgrammerBackend(std::shared_ptr<UsbBus> bus) {
    return std::make_unique<SelectedBackend>(std::move(bus));
}

std::unique_ptr<ProgrammerBackend> createProgrammerBackend() {
    return createProgrammerBackend(std::make_shared<LibusbBus>());
}

}  // namespace velmor
