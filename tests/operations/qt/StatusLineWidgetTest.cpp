#include <QLabel>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <string>
#include <thread>
#include <vector>

#include "operations/qt/CaptionProgressBar.h"
#include "operations/qt/StatusLineWidget.h"
#include "ports/CommandIds.h"
#include "ports/WindowPorts.h"

namespace {

// Records beeps and the thread they came on.
class BeepRecorder : public SoundOutput {
public:
    void PlayWave(const std::string& path) override { waves.push_back(path); }
    void Beep() override { beeps.push_back(QThread::currentThread()); }
    void SetButtonSounds(const std::string&) override {}

    std::vector<std::string> waves;
    std::vector<QThread*> beeps;
};

QColor backgroundOf(QLabel* label) {
    // The far right of a short text is background only.
    const QImage image = label->grab().toImage();
    return image.pixelColor(image.width() - 2, image.height() / 2);
}

}  // namespace

class StatusLineWidgetTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsWithTheStatusTextAndNoBar() {
        StatusLineWidget line;
        line.resize(204, 18);
        line.show();
        QCOMPARE(line.statusLabel()->text(), QStringLiteral("状态栏"));
        QCOMPARE(line.statusLabel()->property("controlId").toInt(), CommandId::StatusText);
        QCOMPARE(line.progressBar()->property("controlId").toInt(), CommandId::ProgressBar);
        QVERIFY(line.statusLabel()->isVisible());
        QVERIFY(!line.progressBar()->isVisible());
        QCOMPARE(line.progressBar()->barColour(), QColor(0, 255, 0));
        QCOMPARE(line.progressBar()->step(), 100);
    }

    void coloursFollowTheAlert_data() {
        QTest::addColumn<bool>("alert");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<bool>("red");
        QTest::newRow("alert") << true << QColor(Qt::white) << true;
        QTest::newRow("plain") << false << QColor(Qt::black) << false;
    }

    void coloursFollowTheAlert() {
        QFETCH(bool, alert);
        QFETCH(QColor, text);
        QFETCH(bool, red);
        StatusLineWidget line;
        QPalette colours = line.palette();
        colours.setColor(QPalette::Light, QColor(250, 240, 230));
        line.setPalette(colours);
        line.resize(204, 18);

        line.SetStatus("设备未连接...", alert, false);

        const QColor expectedBack = red ? QColor(255, 0, 0) : QColor(250, 240, 230);
        QCOMPARE(line.alert(), alert);
        QCOMPARE(line.statusLabel()->text(), QStringLiteral("设备未连接..."));
        QCOMPARE(line.statusLabel()->palette().color(QPalette::WindowText), text);
        QCOMPARE(line.statusLabel()->palette().color(QPalette::Window), expectedBack);
        QCOMPARE(backgroundOf(line.statusLabel()), expectedBack);
    }

    void alertIsClearedByTheNextPlainStatus() {
        StatusLineWidget line;
        line.resize(204, 18);
        line.SetStatus("芯片擦除失败...", true, false);
        QCOMPARE(backgroundOf(line.statusLabel()), QColor(255, 0, 0));
        line.SetStatus("正在擦除...", false, false);
        QCOMPARE(backgroundOf(line.statusLabel()), line.palette().color(QPalette::Light));
        QCOMPARE(line.statusLabel()->palette().color(QPalette::WindowText), QColor(Qt::black));
    }

    void lightColourFollowsAPaletteChange() {
        StatusLineWidget line;
        line.resize(204, 18);
        line.SetStatus("就绪...", false, false);
        QPalette colours = line.palette();
        colours.setColor(QPalette::Light, QColor(1, 2, 3));
        line.setPalette(colours);
        QCOMPARE(line.statusLabel()->palette().color(QPalette::Window), QColor(1, 2, 3));
    }

    void beepGoesThroughTheSoundOutput() {
        BeepRecorder sound;
        StatusLineWidget line(nullptr, &sound);
        line.SetStatus("没有beep", true, false);
        QCOMPARE(sound.beeps.size(), size_t(0));
        line.SetStatus("设备未连接...", true, true);
        QCOMPARE(sound.beeps.size(), size_t(1));
        line.SetStatus("正常提示...", false, true);
        QCOMPARE(sound.beeps.size(), size_t(2));
        QVERIFY(sound.waves.empty());
    }

    void progressBarCoversTheTextWhileShown() {
        QWidget window;
        auto* line = new StatusLineWidget(&window);
        line->setGeometry(5, 400, 204, 18);
        window.resize(300, 450);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint middle = line->mapTo(&window, QPoint(100, 9));

        line->ShowProgress();
        QVERIFY(line->progressBar()->isVisible());
        QCOMPARE(line->progressBar()->geometry(), line->statusLabel()->geometry());
        QCOMPARE(line->progressBar()->geometry(), QRect(0, 0, 204, 18));
        QCOMPARE(window.childAt(middle), line->progressBar());

        line->SetProgress(37, "已烧录37%");
        QCOMPARE(line->progressBar()->position(), 37);
        QCOMPARE(line->progressBar()->caption(), QStringLiteral("已烧录37%"));
        const QImage shown = window.grab(QRect(line->mapTo(&window, QPoint(0, 0)), QSize(204, 18))).toImage();
        QCOMPARE(shown.pixelColor(1, 1), QColor(0, 255, 0));

        line->HideProgress();
        QVERIFY(!line->progressBar()->isVisible());
        QCOMPARE(window.childAt(middle), line->statusLabel());

        line->resize(150, 20);
        QCOMPARE(line->progressBar()->geometry(), QRect(0, 0, 150, 20));
        QCOMPARE(line->statusLabel()->geometry(), QRect(0, 0, 150, 20));
    }

    // The worker reports from its own thread: every call arrives on the window
    // thread, in the order made, and none runs before the window processes events.
    void workerCallsArriveInOrderOnTheWindowThread() {
        BeepRecorder sound;
        StatusLineWidget line(nullptr, &sound);
        QStringList log;
        QList<QThread*> threads;
        connect(&line, &StatusLineWidget::statusChanged, this, [&](const QString& text, bool alert) {
            log.append(QStringLiteral("status:%1%2").arg(text, alert ? QStringLiteral("|alert") : QString()));
            threads.append(QThread::currentThread());
        });
        connect(line.progressBar(), &CaptionProgressBar::positionChanged, this, [&](int position) {
            log.append(QStringLiteral("position:%1").arg(position));
            threads.append(QThread::currentThread());
        });
        connect(line.progressBar(), &CaptionProgressBar::captionChanged, this, [&](const QString& caption) {
            log.append(QStringLiteral("caption:%1").arg(caption));
            threads.append(QThread::currentThread());
        });

        std::thread worker([&line] {
            line.SetStatus("正在烧录...", false, false);
            line.ShowProgress();
            for (int percent = 1; percent <= 100; ++percent)
                line.SetProgress(percent, "已烧录" + std::to_string(percent) + "%");
            line.HideProgress();
            line.SetStatus("烧录成功...", true, true);
        });
        worker.join();
        QVERIFY(log.isEmpty());  // nothing ran on the worker
        QVERIFY(sound.beeps.empty());

        QTRY_COMPARE(log.size(), 202);
        QCOMPARE(log.first(), QStringLiteral("status:正在烧录..."));
        for (int percent = 1; percent <= 100; ++percent) {
            QCOMPARE(log.at(2 * percent - 1), QStringLiteral("position:%1").arg(percent));
            QCOMPARE(log.at(2 * percent), QStringLiteral("caption:已烧录%1%").arg(percent));
        }
        QCOMPARE(log.last(), QStringLiteral("status:烧录成功...|alert"));
        for (QThread* thread : threads) QCOMPARE(thread, QThread::currentThread());
        QCOMPARE(sound.beeps.size(), size_t(1));
        QCOMPARE(sound.beeps.front(), QThread::currentThread());
        QVERIFY(line.progressBar()->isHidden());
        QCOMPARE(line.statusLabel()->text(), QStringLiteral("烧录成功..."));
    }

    void showAndHideFromTheWorkerKeepTheirOrder() {
        StatusLineWidget line;
        line.resize(204, 18);
        std::thread worker([&line] {
            line.ShowProgress();
            line.HideProgress();
            line.ShowProgress();
        });
        worker.join();
        QVERIFY(line.progressBar()->isHidden());
        QCoreApplication::processEvents();
        QVERIFY(!line.progressBar()->isHidden());
    }

    void callsQueuedForADestroyedLineAreDropped() {
        BeepRecorder sound;
        auto* line = new StatusLineWidget(nullptr, &sound);
        std::thread worker([line] { line->SetStatus("迟到的...", true, true); });
        worker.join();
        delete line;
        QCoreApplication::processEvents();
        QVERIFY(sound.beeps.empty());
    }
};

QTEST_MAIN(StatusLineWidgetTest)
#include "StatusLineWidgetTest.moc"
