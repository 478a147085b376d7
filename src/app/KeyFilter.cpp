#include "app/KeyFilter.h"

#include "ports/CommandIds.h"

namespace {

KeyAction SendIfEnabled(int id, const std::function<bool(int)>& isEnabled) {
    if (isEnabled(id)) return {KeyAction::Kind::SendCommand, id};
    return {KeyAction::Kind::Swallow, 0};
}

}  // namespace

KeyAction FilterKeyPress(const KeyPress& press, const std::function<bool(int)>& isEnabled) {
    if (press.alt && press.key == FilterKey::F4) return {KeyAction::Kind::CloseRequest, 0};
    if (press.alt && press.key != FilterKey::Esc && press.key != FilterKey::Enter) return {};
    switch (press.key) {
        case FilterKey::Esc:
            return {KeyAction::Kind::Swallow, 0};
        case FilterKey::Enter:
            // Enter would press the default button and end the dialog.
            if (press.someWindowHasFocus) return {KeyAction::Kind::CommitCellEdit, 0};
            return {KeyAction::Kind::Swallow, 0};
        case FilterKey::F9:
            return SendIfEnabled(CommandId::Auto, isEnabled);
        case FilterKey::F4:
            return SendIfEnabled(CommandId::Erase, isEnabled);
        case FilterKey::F6:
            return SendIfEnabled(CommandId::Program, isEnabled);
        case FilterKey::F8:
            return SendIfEnabled(CommandId::Verify, isEnabled);
        case FilterKey::F7:
            return SendIfEnabled(CommandId::ReadChip, isEnabled);
        case FilterKey::F3:
            return SendIfEnabled(CommandId::BlankCheck, isEnabled);
        case FilterKey::F5:
            return SendIfEnabled(CommandId::Detect, isEnabled);
        case FilterKey::O:
            if (press.ctrl) return SendIfEnabled(CommandId::Open, isEnabled);
            return {};
        case FilterKey::S:
            if (press.ctrl) return SendIfEnabled(CommandId::Save, isEnabled);
            return {};
        case FilterKey::Other:
            return {};
    }
    return {};
}
