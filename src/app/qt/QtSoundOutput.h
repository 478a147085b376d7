#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

#include "ports/WindowPorts.h"

class ButtonSounds;
class PictureButton;
class QSoundEffect;

// Wave files, the desktop's beep and the button sounds. Relative paths are taken
// from the work directory. Calls from the worker are carried to the window thread.
class QtSoundOutput : public QObject, public SoundOutput {
    Q_OBJECT

public:
    using Player = std::function<void(const QString& absolutePath)>;

    // `workDirectory` ends with "/".
    explicit QtSoundOutput(const QString& workDirectory, QObject* parent = nullptr);

    // The ten picture buttons get hover and click sounds, the check box a click sound.
    void addPictureButton(PictureButton* button);
    void setCheckBoxSounds(ButtonSounds* sounds);

    void PlayWave(const std::string& path) override;
    void Beep() override;
    void SetButtonSounds(const std::string& wavePath) override;

    QString absolutePath(const std::string& path) const;

    // Test hooks: record instead of playing (window thread).
    void setWavePlayer(Player player) { m_wavePlayer = std::move(player); }
    void setBeeper(std::function<void()> beeper) { m_beeper = std::move(beeper); }

private:
    void play(const QString& absolutePath);

    QString m_workDirectory;
    QList<QPointer<PictureButton>> m_buttons;
    QPointer<ButtonSounds> m_checkBox;
    QHash<QString, QSoundEffect*> m_effects;
    Player m_wavePlayer;
    std::function<void()> m_beeper;
};
