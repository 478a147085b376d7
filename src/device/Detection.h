#pragma once

class ChipModelSelection;
class CommandStates;
class Device;
class FileImage;
class MessageBoxes;
class StatusLine;

// The two detections run by the worker: quiet (start-up and device changes) and
// with a box (F5). Both close the connection again and return the state 0, 1 or 2.
class Detection {
public:
    Detection(Device& device, ChipModelSelection& model, StatusLine& status, MessageBoxes& boxes,
              CommandStates& commands, const FileImage& image);

    int DetectQuiet();
    int DetectWithMessage();

private:
    // Probe, close, and enable the data view when a chip was found.
    int Probe();
    // The box about a programmer the user may not open, at the first detection that meets it.
    void TellAccessDeniedOnce();

    Device& m_device;
    ChipModelSelection& m_model;
    StatusLine& m_status;
    MessageBoxes& m_boxes;
    CommandStates& m_commands;
    const FileImage& m_image;
    bool m_accessDeniedTold = false;
};
