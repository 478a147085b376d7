#pragma once

#include <optional>

#include "device/CheckObserver.h"

class ChipModelList;
class ChipModelSelection;
class CommandStates;
class ControlTexts;
class FileImage;

// The window's side of the chip model and the connection checks: the model list,
// the capacity and identity labels, and the data view command, which stays usable
// while a file is loaded or the last check found a chip. Check notices come on
// the worker thread; the ports carry them to the window.
class ChipPanel : public CheckObserver {
public:
    ChipPanel(ChipModelSelection& model, const FileImage& image, CommandStates& commands, ChipModelList& list,
              ControlTexts& texts);

    // Start-up: the default row selected in the list and applied.
    void SelectDefaultRow();
    // The user picked `row` in the list.
    void ApplyUserRow(int row);

    void CheckStarting() override;
    void ModelRowSelected(int row) override;
    void IdentityFound(const std::optional<VelmorChipIdentity>& identity) override;
    void CheckEnded(int state) override;

private:
    void ShowCapacity();

    ChipModelSelection& m_model;
    const FileImage& m_image;
    CommandStates& m_commands;
    ChipModelList& m_list;
    ControlTexts& m_texts;
};
