#pragma once

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

    GotoForm(AddressJump& jump, MessageBoxes& boxes) : m_jump(jump), m_boxes(boxes) {}

    // False when nothing was shown: an empty text (with its box) or an address
    // outside the file (the jump reports it).
    bool Press(const std::string& addressText);

private:
    AddressJump& m_jump;
    MessageBoxes& m_boxes;
};
