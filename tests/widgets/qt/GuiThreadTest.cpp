#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

#include "widgets/qt/GuiThread.h"

class GuiThreadTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onTheWindowThreadRunsAtOnce_data() {
        QTest::addColumn<bool>("blocking");
        QTest::newRow("queued") << false;
        QTest::newRow("blocking") << true;
    }

    void onTheWindowThreadRunsAtOnce() {
        QFETCH(bool, blocking);
        QObject context;
        int runs = 0;
        RunOnGuiThread(
            &context, [&runs] { ++runs; }, blocking);
        QCOMPARE(runs, 1);
    }

    void queuedCallsKeepTheirOrder() {
        QObject context;
        std::vector<int> order;
        std::vector<QThread*> threads;
        std::thread worker([&] {
            for (int i = 0; i < 50; ++i)
                RunOnGuiThread(
                    &context,
                    [&, i] {
                        order.push_back(i);
                        threads.push_back(QThread::currentThread());
                    },
                    false);
        });
        worker.join();
        QVERIFY(order.empty());
        QTRY_COMPARE(order.size(), size_t(50));
        for (int i = 0; i < 50; ++i) QCOMPARE(order[static_cast<size_t>(i)], i);
        for (QThread* thread : threads) QCOMPARE(thread, QThread::currentThread());
    }

    void blockingCallWaitsForTheWindowThread() {
        QObject context;
        std::atomic<int> answer{0};
        std::atomic<bool> done{false};
        QThread* ranOn = nullptr;
        std::thread worker([&] {
            answer = CallOnGuiThread(
                &context,
                [&] {
                    ranOn = QThread::currentThread();
                    return 42;
                },
                -1);
            done = true;
        });
        QTRY_VERIFY(done.load());
        worker.join();
        QCOMPARE(answer.load(), 42);
        QCOMPARE(ranOn, QThread::currentThread());
    }

    void callsForADestroyedContextAreDropped() {
        auto* context = new QObject;
        int runs = 0;
        std::thread worker([&] {
            RunOnGuiThread(
                context, [&runs] { ++runs; }, false);
        });
        worker.join();
        delete context;
        QCoreApplication::processEvents();
        QCOMPARE(runs, 0);
    }

    void noContextRunsNothing() {
        int runs = 0;
        RunOnGuiThread(
            nullptr, [&runs] { ++runs; }, true);
        QCOMPARE(runs, 0);
        QCOMPARE(CallOnGuiThread(
                     nullptr, [] { return 7; }, -1),
                 -1);
    }
};

QTEST_MAIN(GuiThreadTest)
#include "GuiThreadTest.moc"
