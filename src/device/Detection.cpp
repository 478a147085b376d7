#include "device/Detection.h"

#include <cstdio>
#include <string>

#include "device/ChipModel.h"
#include "device/Device.h"
#include "device/DeviceState.h"
#include "device/DeviceTexts.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"

namespace {
std::string WithCapacity(const char* format, const std::string& capacity) {
    char text[160];
    std::snprintf(text, sizeof text, format, capacity.c_str());
    return text;
}
}  // namespace

Detection::Detection(Device& device, const ChipModelSelection& model, StatusLine& status, MessageBoxes& boxes)
    : m_device(device), m_model(model), m_status(status), m_boxes(boxes) {}

int Detection::Probe() {
    const int state = m_device.Probe();
    if (state == NoProgrammer) TellAccessDeniedOnce();
    return state;
}

void Detection::TellAccessDeniedOnce() {
    // "Not connected" alone would send the user looking for a cable; once is enough.
    const DriverApi& api = m_device.api();
    if (m_accessDeniedTold || api.QuovixLastFailure == nullptr ||
        api.QuovixLastFailure() != VELMOR_REASON_ACCESS_DENIED)
        return;
    m_accessDeniedTold = true;
    m_boxes.Show(DeviceText::AccessDeniedBox, DeviceText::NoteTitle, MessageIcon::Exclamation);
}

int Detection::DetectQuiet() {
    const int state = Probe();
    switch (state) {
        case NoProgrammer:
            m_status.SetStatus(DeviceText::NotConnected, true, true);
            break;
        case NoChip:
            m_status.SetStatus(DeviceText::NoChip, true, true);
            break;
        default:
            m_status.SetStatus(WithCapacity(DeviceText::DetectedQuiet, CapacityText(m_model.ChipCapacity())),
                               false, false);
            break;
    }
    return state;
}

int Detection::DetectWithMessage() {
    const int state = Probe();
    switch (state) {
        case NoProgrammer:
            m_status.SetStatus(DeviceText::NotConnected, true, false);
            m_boxes.Show(DeviceText::DetectNotConnectedBox, DeviceText::NoteTitle, MessageIcon::Exclamation);
            break;
        case NoChip:
            m_status.SetStatus(DeviceText::NoChip, true, false);
            m_boxes.Show(DeviceText::DetectNoChipBox, DeviceText::NoteTitle, MessageIcon::Exclamation);
            break;
        default: {
            const uint32_t capacity = m_model.ChipCapacity();
            m_status.SetStatus(WithCapacity(DeviceText::DetectedLoud, CapacityText(capacity)), false, false);
            m_boxes.Show(WithCapacity(DeviceText::DetectedBox, CapacityText(capacity)) + BitsText(capacity),
                         DeviceText::ChipInfoTitle, MessageIcon::Information);
            break;
        }
    }
    return state;
}
