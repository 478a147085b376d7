#pragma once

#include <QIcon>
#include <QPushButton>
#include <QString>

#include "widgets/qt/ButtonSounds.h"

// A command button of the window: a picture with its text, a tool tip, and the
// optional hover and click sounds. A click sends the button's command id.
class PictureButton : public QPushButton {
    Q_OBJECT

public:
    PictureButton(int commandId, const QIcon& icon, const QString& text, QWidget* parent = nullptr);

    int commandId() const { return m_commandId; }

    // Empty paths remove the sounds.
    void setSounds(const QString& hoverPath, const QString& clickPath);
    QString hoverSound() const { return m_sounds->hoverSound(); }
    QString clickSound() const { return m_sounds->clickSound(); }
    void setSoundPlayer(ButtonSoundPlayer player) { m_sounds->setPlayer(std::move(player)); }

Q_SIGNALS:
    void command(int id);

private:
    int m_commandId;
    ButtonSounds* m_sounds;
};
