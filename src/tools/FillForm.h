#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tools/FileFill.h"
#include "tools/HexInput.h"

// One fill dialog's own state: its check box, which appends at the end of the
// file, and `skipNextCheck`, which lets an address text the program itself wrote
// pass the address check once. Each dialog starts with both cleared.
class FillForm {
public:
    explicit FillForm(FileFill& fill) : m_fill(fill) {}

    // After every change of the address text, the user's and the program's.
    HexCheck CheckAddress(std::string_view text, size_t caret);
    // A click on the check box: the text to put into the address edit, which is
    // read-only while the box is ticked.
    std::string SetAppend(bool ticked);
    // "确定" with the three texts as they stand.
    FillOutcome Press(const std::string& address, const std::string& length, const std::string& data);

    bool append() const { return m_append; }
    bool skipNextCheck() const { return m_skipNextCheck; }

private:
    FileFill& m_fill;
    bool m_append = false;
    bool m_skipNextCheck = false;
};
