#pragma once

#include <functional>
#include <string>

class AddressJump;
class MessageBoxes;

// The goto dialog's "确定": the address text (upper case, hex digits, at most
// eight) read and jumped to. Any number of goto dialogs share the one jump.
class GotoForm {
public:
    static constexpr const char* Title = "文件地址定位";
    static constexpr const char* HexCharacterMessage = "请输入0~F之间的16进制字符！    ";
    static constexpr const char* EmptyAddressMessage = "请输入定位地址！   ";

    GotoForm(AddressJump& jump, MessageBoxes& boxes, std::function<bool()> editMode)
        : m_jump(jump), m_boxes(boxes), m_editMode(std::move(editMode)) {}

    enum class Result {
        NotShown,      // an empty text (with its box), an address outside the file, or a busy view
        Shown,         // the byte is on the page with the focus on it
        EditorOpened,  // and, in edit mode, the cell editor is open on it for the next digit
    };
    Result Press(const std::string& addressText);

private:
    AddressJump& m_jump;
    MessageBoxes& m_boxes;
    std::function<bool()> m_editMode;
};
