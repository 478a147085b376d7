#include <QCheckBox>
#include <QDir>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "ports/CommandIds.h"
#include "widgets/qt/ButtonSounds.h"
#include "widgets/qt/PictureButton.h"

namespace {

const QString kMouth = QStringLiteral("sound/mouthsound.wav");

void enter(QWidget* widget) {
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(widget, &event);
}

}  // namespace

class PictureButtonTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void carriesIconTextAndCommand() {
        QPixmap picture(16, 16);
        picture.fill(Qt::red);
        PictureButton button(CommandId::Program, QIcon(picture), QStringLiteral("烧录(F6)"));
        button.setToolTip(QStringLiteral("F6:烧录数据"));
        QCOMPARE(button.text(), QStringLiteral("烧录(F6)"));
        QCOMPARE(button.toolTip(), QStringLiteral("F6:烧录数据"));
        QVERIFY(!button.icon().isNull());
        QCOMPARE(button.commandId(), 1021);
        QCOMPARE(button.property("controlId").toInt(), 1021);
        QVERIFY(!button.autoDefault());
        QVERIFY(button.hoverSound().isEmpty());
        QVERIFY(button.clickSound().isEmpty());
    }

    void soundsPlayOnHoverAndClick() {
        PictureButton button(CommandId::Erase, QIcon(), QStringLiteral("擦除(F4)"));
        QStringList log;
        button.setSoundPlayer([&log](const QString& path) { log.append(QStringLiteral("sound:") + path); });
        connect(&button, &PictureButton::command, this,
                [&log](int id) { log.append(QStringLiteral("command:%1").arg(id)); });
        button.setSounds(kMouth, QStringLiteral("sound/click.wav"));

        enter(&button);
        QCOMPARE(log, QStringList{QStringLiteral("sound:sound/mouthsound.wav")});
        log.clear();

        QTest::mouseClick(&button, Qt::LeftButton);
        // The click sound starts before the command runs (which may open a dialog).
        QCOMPARE(log, (QStringList{QStringLiteral("sound:sound/click.wav"), QStringLiteral("command:1020")}));
    }

    void noSoundsWhenRemovedOrDisabled() {
        PictureButton button(CommandId::Save, QIcon(), QStringLiteral("保存(Ctrl+S)"));
        QStringList played;
        button.setSoundPlayer([&played](const QString& path) { played.append(path); });
        QSignalSpy commands(&button, &PictureButton::command);

        button.setSounds(kMouth, kMouth);
        button.setEnabled(false);
        enter(&button);
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(played.isEmpty());
        QCOMPARE(commands.count(), 0);

        button.setEnabled(true);
        button.setSounds(QString(), QString());
        enter(&button);
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(played.isEmpty());
        QCOMPARE(commands.count(), 1);
        QCOMPARE(commands.first().first().toInt(), 1075);

        button.setSounds(kMouth, kMouth);
        enter(&button);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(played, (QStringList{kMouth, kMouth}));
    }

    void checkBoxGetsAClickSoundOnly() {
        QCheckBox box(QStringLiteral("编辑模式"));
        auto* sounds = new ButtonSounds(&box);
        QStringList played;
        sounds->setPlayer([&played](const QString& path) { played.append(path); });
        sounds->setClickSound(kMouth);
        enter(&box);
        QVERIFY(played.isEmpty());
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, box.height() / 2));
        QCOMPARE(played, QStringList{kMouth});
        QVERIFY(box.isChecked());
    }

    void missingButtonSoundPlaysNothing() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(!PlayButtonSound(QString()));
        QVERIFY(!PlayButtonSound(dir.filePath(QStringLiteral("missing.wav"))));
        QVERIFY(!PlayButtonSound(dir.path()));  // a directory is no sound
    }
};

QTEST_MAIN(PictureButtonTest)
#include "PictureButtonTest.moc"
