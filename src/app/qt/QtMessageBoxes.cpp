#include "app/qt/QtMessageBoxes.h"

#include "app/qt/MessageBox.h"
#include "widgets/qt/GuiThread.h"

QtMessageBoxes::QtMessageBoxes(QWidget* owner, QObject* parent) : QObject(parent), m_owner(owner) {}

MessageAnswer QtMessageBoxes::Show(const std::string& text, const std::string& title, MessageIcon icon,
                                   MessageButtons buttons) {
    const QString qtText = QString::fromStdString(text);
    const QString qtTitle = QString::fromStdString(title);
    return CallOnGuiThread(
        this,
        [this, qtText, qtTitle, icon, buttons] {
            return MessageBox::show(m_owner, qtText, qtTitle, icon, buttons);
        },
        MessageBox::closeAnswer(buttons));
}
