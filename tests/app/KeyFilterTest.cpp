#include "app/KeyFilter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Kind = KeyAction::Kind;

TEST(KeyFilterTest, Table) {
    struct Row {
        FilterKey key;
        bool ctrl;
        bool focus;
        bool enabled;  // every button enabled, or none
        KeyAction expected;
    };
    const KeyAction pass{Kind::PassOn, 0};
    const KeyAction swallow{Kind::Swallow, 0};
    const KeyAction commit{Kind::CommitCellEdit, 0};
    auto send = [](int id) { return KeyAction{Kind::SendCommand, id}; };
    const std::vector<Row> rows = {
        {FilterKey::Esc, false, true, true, swallow},    {FilterKey::Esc, true, false, false, swallow},
        {FilterKey::Enter, false, true, true, commit},   {FilterKey::Enter, true, true, false, commit},
        {FilterKey::Enter, false, false, true, swallow}, {FilterKey::F9, false, true, true, send(1019)},
        {FilterKey::F4, false, true, true, send(1020)},  {FilterKey::F6, false, true, true, send(1021)},
        {FilterKey::F8, false, true, true, send(1023)},  {FilterKey::F7, false, true, true, send(1022)},
        {FilterKey::F3, false, true, true, send(1035)},  {FilterKey::F5, false, false, true, send(1024)},
        {FilterKey::F5, true, true, true, send(1024)},   {FilterKey::F9, false, true, false, swallow},
        {FilterKey::F4, false, true, false, swallow},    {FilterKey::F6, false, true, false, swallow},
        {FilterKey::F8, false, true, false, swallow},    {FilterKey::F7, false, true, false, swallow},
        {FilterKey::F3, false, true, false, swallow},    {FilterKey::F5, false, true, false, swallow},
        {FilterKey::O, true, true, true, send(1004)},    {FilterKey::O, true, true, false, swallow},
        {FilterKey::O, false, true, true, pass},         {FilterKey::S, true, false, true, send(1075)},
        {FilterKey::S, true, true, false, swallow},      {FilterKey::S, false, true, true, pass},
        {FilterKey::Other, false, true, true, pass},     {FilterKey::Other, true, false, false, pass},
    };
    for (const Row& row : rows) {
        std::vector<int> asked;
        const KeyAction action = FilterKeyPress({row.key, row.ctrl, row.focus}, [&](int id) {
            asked.push_back(id);
            return row.enabled;
        });
        EXPECT_EQ(action, row.expected)
            << "key " << static_cast<int>(row.key) << (row.ctrl ? " ctrl" : "") << (row.focus ? " focus" : "")
            << (row.enabled ? " enabled" : " disabled");
        if (row.expected.kind == Kind::SendCommand) {
            EXPECT_EQ(asked, std::vector<int>{row.expected.command});
        }
    }
}

// Keys held with Alt: no command runs whatever is enabled; Alt+F4 is the close
// request; Esc and Enter keep their own rules.
TEST(KeyFilterTest, AltKeysAreNoCommands) {
    struct Row {
        FilterKey key;
        bool ctrl;
        KeyAction expected;
    };
    const KeyAction pass{Kind::PassOn, 0};
    const std::vector<Row> rows = {
        {FilterKey::F4, false, {Kind::CloseRequest, 0}},
        {FilterKey::F4, true, {Kind::CloseRequest, 0}},
        {FilterKey::F3, false, pass},
        {FilterKey::F5, false, pass},
        {FilterKey::F6, false, pass},
        {FilterKey::F7, false, pass},
        {FilterKey::F8, false, pass},
        {FilterKey::F9, false, pass},
        {FilterKey::O, true, pass},
        {FilterKey::S, true, pass},
        {FilterKey::Other, false, pass},
        {FilterKey::Esc, false, {Kind::Swallow, 0}},
        {FilterKey::Enter, false, {Kind::CommitCellEdit, 0}},
    };
    for (const Row& row : rows) {
        int asked = 0;
        KeyPress press{row.key, row.ctrl, true};
        press.alt = true;
        const KeyAction action = FilterKeyPress(press, [&](int) {
            ++asked;
            return true;
        });
        EXPECT_EQ(action, row.expected)
            << "alt key " << static_cast<int>(row.key) << (row.ctrl ? " ctrl" : "");
        EXPECT_EQ(asked, 0) << static_cast<int>(row.key);
    }
}

}  // namespace
