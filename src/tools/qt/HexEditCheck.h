#pragma once

#include <QValidator>

#include <functional>
#include <string>
#include <string_view>

#include "tools/HexInput.h"

class MessageBoxes;
class QLineEdit;

// Edits of the address tools that convert letters to upper case as they are typed.
class UpperCaseValidator : public QValidator {
    Q_OBJECT

public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

// A character check of tools/HexInput.h: the edit's text and caret in, what to
// write back out.
using CharacterCheck = std::function<HexCheck(std::string_view text, size_t caret)>;

// Which changes of an edit's text run its check.
enum class CheckedChanges { UserOnly, UserAndProgram };

// Runs `check` after the changes of `edit` named by `changes`: a refused
// character is removed and `message` is shown in a "提示" box.
void AttachCharacterCheck(QLineEdit* edit, MessageBoxes& boxes, std::string message, CharacterCheck check,
                          CheckedChanges changes = CheckedChanges::UserOnly);

// The shared hex-character check after every change the user makes in `edit`.
// Used by every address tool's hex edits.
void AttachHexCheck(QLineEdit* edit, MessageBoxes& boxes, std::string message);
