#include "tools/GotoForm.h"

#include "ports/MessageBoxes.h"
#include "tools/AddressJump.h"
#include "tools/HexInput.h"

GotoForm::Result GotoForm::Press(const std::string& addressText) {
    if (addressText.empty()) {
        m_boxes.Show(EmptyAddressMessage, "提示", MessageIcon::Exclamation);
        return Result::NotShown;
    }
    if (!m_jump.GoToAddress(ReadHexText(addressText))) return Result::NotShown;
    return m_editMode && m_editMode() ? Result::EditorOpened : Result::Shown;
}
