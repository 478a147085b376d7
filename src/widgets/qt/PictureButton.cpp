#include "widgets/qt/PictureButton.h"

PictureButton::PictureButton(int commandId, const QIcon& icon, const QString& text, QWidget* parent)
    : QPushButton(icon, text, parent), m_commandId(commandId), m_sounds(nullptr) {
    setProperty("controlId", commandId);
    // Enter belongs to the window's key filter, never to a button.
    setAutoDefault(false);
    // The sound hook connects to clicked() before the command does, so the click
    // sound starts before a handler that opens a dialog.
    m_sounds = new ButtonSounds(this);
    connect(this, &QAbstractButton::clicked, this, [this] { Q_EMIT command(m_commandId); });
}

void PictureButton::setSounds(const QString& hoverPath, const QString& clickPath) {
    m_sounds->setHoverSound(hoverPath);
    m_sounds->setClickSound(clickPath);
}
