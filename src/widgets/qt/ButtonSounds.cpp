#include "widgets/qt/ButtonSounds.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

ButtonSounds::ButtonSounds(QAbstractButton* button)
    : QObject(button), m_button(button), m_player(PlayButtonSound) {
    button->installEventFilter(this);
    connect(button, &QAbstractButton::clicked, this, [this] { play(m_click); });
}

void ButtonSounds::setPlayer(ButtonSoundPlayer player) {
    m_player = player ? std::move(player) : ButtonSoundPlayer(PlayButtonSound);
}

bool ButtonSounds::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_button && event->type() == QEvent::Enter && m_button->isEnabled()) play(m_hover);
    return QObject::eventFilter(watched, event);
}

void ButtonSounds::play(const QString& path) const {
    if (!path.isEmpty()) m_player(path);
}

bool PlayButtonSound(const QString& path) {
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile() || !file.isReadable()) return false;
    // One effect for every button, owned by the application so it goes away with it.
    static QPointer<QSoundEffect> effect;
    if (effect.isNull()) {
        if (QCoreApplication::instance() == nullptr) return false;
        effect = new QSoundEffect(QCoreApplication::instance());
    }
    if (effect->isPlaying()) return false;
    effect->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    effect->play();
    return true;
}
