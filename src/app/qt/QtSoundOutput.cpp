#include "app/qt/QtSoundOutput.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

#include "widgets/qt/ButtonSounds.h"
#include "widgets/qt/GuiThread.h"
#include "widgets/qt/PictureButton.h"

QtSoundOutput::QtSoundOutput(const QString& workDirectory, QObject* parent)
    : QObject(parent), m_workDirectory(workDirectory) {}

void QtSoundOutput::addPictureButton(PictureButton* button) {
    m_buttons.append(button);
}

void QtSoundOutput::setCheckBoxSounds(ButtonSounds* sounds) {
    m_checkBox = sounds;
}

QString QtSoundOutput::absolutePath(const std::string& path) const {
    const QString name = QString::fromStdString(path);
    if (name.isEmpty() || QDir::isAbsolutePath(name)) return name;
    return m_workDirectory + name;
}

void QtSoundOutput::PlayWave(const std::string& path) {
    const QString file = absolutePath(path);
    RunOnGuiThread(
        this, [this, file] { play(file); }, false);
}

void QtSoundOutput::Beep() {
    RunOnGuiThread(
        this,
        [this] {
            if (m_beeper)
                m_beeper();
            else
                QApplication::beep();
        },
        false);
}

void QtSoundOutput::SetButtonSounds(const std::string& wavePath) {
    const QString file = absolutePath(wavePath);
    RunOnGuiThread(
        this,
        [this, file] {
            for (const QPointer<PictureButton>& button : m_buttons)
                if (button) button->setSounds(file, file);
            if (m_checkBox) m_checkBox->setClickSound(file);
        },
        false);
}

void QtSoundOutput::play(const QString& absolutePath) {
    if (m_wavePlayer) {
        m_wavePlayer(absolutePath);
        return;
    }
    // A wave file that cannot be found gives the default sound.
    if (!QFileInfo(absolutePath).isFile()) {
        QApplication::beep();
        return;
    }
    QSoundEffect*& effect = m_effects[absolutePath];
    if (effect == nullptr) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(absolutePath));
    }
    effect->play();
}
