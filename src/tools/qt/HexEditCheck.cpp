#include "tools/qt/HexEditCheck.h"

#include <QLineEdit>

#include "ports/MessageBoxes.h"

QValidator::State UpperCaseValidator::validate(QString& input, int& /*position*/) const {
    input = input.toUpper();
    return Acceptable;
}

void AttachCharacterCheck(QLineEdit* edit, MessageBoxes& boxes, std::string message, CharacterCheck check,
                          CheckedChanges changes) {
    auto run = [edit, &boxes, message = std::move(message), check = std::move(check)](const QString& text) {
        // The caret counts UTF-16 units; the check counts characters.
        const qsizetype caret = text.left(edit->cursorPosition()).toUcs4().size();
        const HexCheck result = check(text.toStdString(), static_cast<size_t>(caret));
        if (!result.removed) return;
        boxes.Show(message, "提示", MessageIcon::Exclamation);
        edit->setText(QString::fromStdString(result.text));
        edit->setCursorPosition(
            static_cast<int>(result.caret));  // the text is ASCII now: units are characters
        edit->deselect();
    };
    if (changes == CheckedChanges::UserOnly)
        QObject::connect(edit, &QLineEdit::textEdited, edit, run);
    else
        QObject::connect(edit, &QLineEdit::textChanged, edit, run);
}

void AttachHexCheck(QLineEdit* edit, MessageBoxes& boxes, std::string message) {
    AttachCharacterCheck(edit, boxes, std::move(message), CheckHexCharacter);
}
