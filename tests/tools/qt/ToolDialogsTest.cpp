#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "operations/OperationWorker.h"
#include "operations/WorkerState.h"
#include "ports/MessageBoxes.h"
#include "ports/WindowServices.h"
#include "tools/FindSession.h"
#include "tools/qt/FindDialog.h"
#include "tools/qt/HexEditCheck.h"

namespace {

class RecordedBoxes : public MessageBoxes {
public:
    MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon,
                       MessageButtons) override {
        std::lock_guard lock(m_mutex);
        shown.push_back(title + "|" + text);
        return MessageAnswer::Ok;
    }
    std::vector<std::string> Shown() {
        std::lock_guard lock(m_mutex);
        return shown;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> shown;
};

class SpinningLifetime : public WindowLifetime {
public:
    void ServeUntil(const std::function<bool()>& done) override {
        while (!done()) std::this_thread::yield();
    }
    void EndWindow() override {}
};

const char* kMessage = "请输入0~F之间的16进制字符！   ";

}  // namespace

class ToolDialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hexEditRemovesTheCharacterBeforeTheCaret() {
        RecordedBoxes boxes;
        QLineEdit edit;
        edit.setValidator(new UpperCaseValidator(&edit));
        AttachHexCheck(&edit, boxes, kMessage);
        QTest::keyClicks(&edit, QStringLiteral("1a"));
        QCOMPARE(edit.text(), QStringLiteral("1A"));
        QVERIFY(boxes.Shown().empty());
        QTest::keyClicks(&edit, QStringLiteral("g"));
        QCOMPARE(edit.text(), QStringLiteral("1A"));
        QCOMPARE(edit.cursorPosition(), 2);
        // In the middle: the caret stays where the character was.
        edit.setCursorPosition(1);
        QTest::keyClicks(&edit, QStringLiteral("-"));
        QCOMPARE(edit.text(), QStringLiteral("1A"));
        QCOMPARE(edit.cursorPosition(), 1);
        const std::vector<std::string> expected(2, std::string("提示|") + kMessage);
        QCOMPARE(boxes.Shown(), expected);
    }

    void findButtonReadsNextAfterTheFirstSearchAndClosingStopsIt() {
        WorkerState state;
        RecordedBoxes boxes;
        SpinningLifetime lifetime;
        FindSession* session = nullptr;
        // A search that waits at one hit until the dialog answers.
        OperationWorker worker(state, [&session](uint8_t code) {
            if (code != WorkerCode::Find) return;
            session->SearchStarted();
            while (session->WaitAtHit()) {
            }
            session->SearchEnded();
        });
        FindSession findSession(state, worker, lifetime, boxes);
        session = &findSession;
        worker.Start();
        QVERIFY(worker.WaitUntilIdle(std::chrono::seconds(5)));

        FindDialog dialog(findSession);
        QCOMPARE(dialog.findButton()->text(), QStringLiteral("确定"));
        QVERIFY(dialog.hexMode()->isChecked());

        dialog.findButton()->click();  // empty: a box, no search
        QCOMPARE(dialog.findButton()->text(), QStringLiteral("确定"));
        QCOMPARE(boxes.Shown().size(), size_t(1));

        dialog.dataEdit()->setText(QStringLiteral("4142"));
        dialog.findButton()->click();
        QCOMPARE(dialog.findButton()->text(), QStringLiteral("下一个"));
        QTRY_COMPARE(int(state.WorkerCommand.load()), 0);  // waiting at its hit
        QCOMPARE(findSession.lastSearchPattern(), std::string("4142"));

        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(worker.WaitUntilIdle(std::chrono::seconds(5)));
        QVERIFY(!findSession.Searching());
        worker.RequestQuit();
        worker.Join();
    }

    // Enter with 取消 focused presses 确定 (an empty pattern: its box) and keeps the dialog open.
    void enterOnCancelPressesFindAndKeepsTheDialog() {
        WorkerState state;
        RecordedBoxes boxes;
        SpinningLifetime lifetime;
        OperationWorker worker(state, [](uint8_t) {});
        FindSession session(state, worker, lifetime, boxes);
        FindDialog dialog(session);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("findCancel"));
        QVERIFY(cancel != nullptr);
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(boxes.Shown().size(), size_t(1));
        QTest::keyClick(cancel, Qt::Key_Enter);
        QVERIFY(dialog.isVisible());
        QCOMPARE(boxes.Shown().size(), size_t(2));
        // A click on it still closes the dialog.
        cancel->click();
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(ToolDialogsTest)
#include "ToolDialogsTest.moc"
