#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAbstractButton;

// Plays one button sound, given the path of its wave file.
using ButtonSoundPlayer = std::function<void(const QString& path)>;

// The hover and click sounds of a button. The hover sound plays when the pointer
// enters the enabled button, the click sound when it is clicked. An empty path
// means no sound. Sounds go through the player (tests record them); the default
// player is PlayButtonSound.
class ButtonSounds : public QObject {
    Q_OBJECT

public:
    explicit ButtonSounds(QAbstractButton* button);

    void setHoverSound(const QString& path) { m_hover = path; }
    void setClickSound(const QString& path) { m_click = path; }
    QString hoverSound() const { return m_hover; }
    QString clickSound() const { return m_click; }
    void setPlayer(ButtonSoundPlayer player);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void play(const QString& path) const;

    QAbstractButton* m_button;
    QString m_hover;
    QString m_click;
    ButtonSoundPlayer m_player;
};

// Plays a wave file asynchronously. A button sound is a small extra: a missing or
// unreadable file plays nothing, and a sound still playing is not interrupted (the
// new one is skipped). Window thread only. True when a sound was started.
bool PlayButtonSound(const QString& path);
