#pragma once

#include <QValidator>

#include <string>

class MessageBoxes;
class QLineEdit;

// Edits of the address tools that convert letters to upper case as they are typed.
class UpperCaseValidator : public QValidator {
    Q_OBJECT

public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

// Runs the shared hex-character check (tools/HexInput.h) after every change the
// user makes in `edit`: a character that is not 0-9 or A-F is removed and
// `message` is shown in a "提示" box. Used by every address tool's hex edits.
void AttachHexCheck(QLineEdit* edit, MessageBoxes& boxes, std::string message);
