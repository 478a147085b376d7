#include "tools/GotoForm.h"

#include "ports/MessageBoxes.h"
#include "tools/AddressJump.h"
#include "tools/HexInput.h"

bool GotoForm::Press(const std::string& addressText) {
    if (addressText.empty()) {
        m_boxes.Show(EmptyAddressMessage, "提示", MessageIcon::Exclamation);
        return false;
    }
    return m_jump.GoToAddress(ReadHexText(addressText));
}
