#include "tools/qt/HexEditCheck.h"

#include <QLineEdit>

#include "ports/MessageBoxes.h"
#include "tools/HexInput.h"

QValidator::State UpperCaseValidator::validate(QString& input, int& /*position*/) const
{
    input = input.toUpper();
    return Acceptable;
}

void AttachHexCheck(QLineEdit* edit, MessageBoxes& boxes, std::string message)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, &boxes, message](const QString& text) {
        // The caret counts UTF-16 units; the check counts characters.
        const qsizetype caret = text.left(edit->cursorPosition()).toUcs4().size();
        const HexCheck check = CheckHexCharacter(text.toStdString(), static_cast<size_t>(caret));
        if (!check.removed)
            return;
        boxes.Show(message, "提示", MessageIcon::Exclamation);
        edit->setText(QString::fromStdString(check.text));
        edit->setCursorPosition(static_cast<int>(check.caret));  // the text is ASCII now: units are characters
        edit->deselect();
    });
}
