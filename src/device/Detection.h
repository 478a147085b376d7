#pragma once

class ChipModelSelection;
class Device;
class MessageBoxes;
class StatusLine;

// The two detections run by the worker: quiet (start-up and device changes) and
// with a box (F5). Both close the connection again and return the state 0, 1 or 2.
class Detection {
public:
    Detection(Device& device, const ChipModelSelection& model, StatusLine& status, MessageBoxes& boxes);

    int DetectQuiet();
    int DetectWithMessage();

private:
    // The device's probe, then the box about a programmer the user may not open.
    int Probe();
    // The box about a programmer the user may not open, at the first detection that meets it.
    void TellAccessDeniedOnce();

    Device& m_device;
    const ChipModelSelection& m_model;
    StatusLine& m_status;
    MessageBoxes& m_boxes;
    bool m_accessDeniedTold = false;
};
