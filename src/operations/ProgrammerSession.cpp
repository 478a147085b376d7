#include "operations/ProgrammerSession.h"

ProgrammerSession::ProgrammerSession(const DriverApi& api, FileImage& image, SessionPorts ports,
                                     std::string chipWorkFilePath)
    : m_chipWorkFilePath(std::move(chipWorkFilePath)),
      m_device(api, m_model),
      m_detection(m_device, m_model, ports.status, ports.boxes),
      m_operations(OperationContext{m_state, m_device, m_model, image, ports.status, ports.boxes,
                                    ports.sounds, ports.window, ports.readView, m_chipWorkFilePath}) {
    m_device.SetObserver(ports.checks);
}

OperationOutcome ProgrammerSession::Execute(uint8_t code) {
    switch (code) {
        case WorkerCode::Auto:
            return m_operations.AutoSequence();
        case WorkerCode::ChangedWrite:
            return m_operations.ChangedWrite();
        case WorkerCode::Erase:
            return m_operations.EraseChip(1);
        case WorkerCode::Program:
            return m_operations.ProgramChip(1);
        case WorkerCode::Verify:
            return m_operations.VerifyChip(1);
        case WorkerCode::ReadChip:
            return m_operations.ReadChip();
        case WorkerCode::BlankCheck:
            return m_operations.BlankCheck();
        case WorkerCode::DetectQuiet:
            return OperationOutcome::OfDeviceState(m_detection.DetectQuiet());
        case WorkerCode::DetectWithMessage:
            return OperationOutcome::OfDeviceState(m_detection.DetectWithMessage());
        default:
            return {};
    }
}

OperationOutcome ProgrammerSession::ExecuteInline(uint8_t code) {
    m_state.WorkerCommand = code;
    const OperationOutcome outcome = Execute(code);
    m_state.WorkerCommand = WorkerCode::Idle;
    return outcome;
}
