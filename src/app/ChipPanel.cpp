#include "app/ChipPanel.h"

#include "device/ChipIdentityText.h"
#include "device/ChipModel.h"
#include "device/DeviceState.h"
#include "image/FileImage.h"
#include "ports/CommandIds.h"
#include "ports/WindowPorts.h"

ChipPanel::ChipPanel(ChipModelSelection& model, const FileImage& image, CommandStates& commands,
                     ChipModelList& list, ControlTexts& texts)
    : m_model(model), m_image(image), m_commands(commands), m_list(list), m_texts(texts) {}

void ChipPanel::SelectDefaultRow() {
    m_list.SelectRow(kDefaultChipModelRow);
    ApplyUserRow(kDefaultChipModelRow);
}

void ChipPanel::ApplyUserRow(int row) {
    m_model.ApplyChipModel(row);
    ShowCapacity();
}

void ChipPanel::ShowCapacity() {
    m_texts.SetText(CommandId::CapacityLabel, CapacityLabelText(m_model.ChipCapacity()));
}

void ChipPanel::CheckStarting() {
    // Without a file the data view has nothing to show until a chip answers.
    if (!m_image.loaded()) m_commands.SetEnabled(CommandId::DataView, false);
}

void ChipPanel::ModelRowSelected(int row) {
    m_list.SelectRow(row);
    ShowCapacity();
}

void ChipPanel::IdentityFound(const std::optional<VelmorChipIdentity>& identity) {
    m_texts.SetText(CommandId::ChipIdentityLabel, ChipIdentityLine(identity));
}

void ChipPanel::CheckEnded(int state) {
    if (state == ChipReady) m_commands.SetEnabled(CommandId::DataView, true);
}
