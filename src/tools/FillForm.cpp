#include "tools/FillForm.h"

HexCheck FillForm::CheckAddress(std::string_view text, size_t caret) {
    if (m_skipNextCheck && !text.empty()) {
        m_skipNextCheck = false;
        HexCheck passed;
        passed.text = std::string(text);
        passed.caret = caret;
        return passed;
    }
    HexCheck check = CheckHexCharacter(text, caret);
    if (!check.removed && !text.empty()) m_skipNextCheck = false;
    return check;
}

std::string FillForm::SetAppend(bool ticked) {
    m_append = ticked;
    m_skipNextCheck = true;
    return ticked ? m_fill.EndAddressText() : std::string(FileFill::InitialAddress);
}

FillOutcome FillForm::Press(const std::string& address, const std::string& length, const std::string& data) {
    FillOutcome outcome = m_fill.Press(FillRequest{address, length, data, m_append});
    // The new end goes into the address edit: the program's own text.
    if (outcome.addressText) m_skipNextCheck = true;
    return outcome;
}
