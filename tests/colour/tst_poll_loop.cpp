// The colour tool's poll loop on its cancellable thread, without a window.
#include "poll_loop.h"
#include "poll_thread.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>

class tst_poll_loop : public QObject
{
    Q_OBJECT

private slots:
    // As the colour tool runs it: the thread deleted when done, which needs
    // it moved back to the GUI thread (no program keeps its thread).
    void paced_until_cancelled()
    {
        auto *thread = new Thread;
        QPointer<Thread> alive(thread);
        thread->moveToThread(thread);
        QVector<qint64> steps;
        QElapsedTimer clock;
        clock.start();
        hid_device_info found{};
        std::atomic<QThread *> found_on{nullptr};
        const auto find = [&] {
            found_on = QThread::currentThread();
            return &found;
        };
        connect(thread, &QThread::started, poll_loop{thread, true, find, [&](hid_device_info *taken) {
            QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
            QCOMPARE(taken, &found);
            steps.append(clock.elapsed());
        }});
        thread->start();
        QTRY_VERIFY(steps.size() >= 3);
        QCOMPARE(found_on.load(), static_cast<QThread *>(thread));
        for (int i = 1; i < steps.size(); ++i)
            QVERIFY2(steps[i] - steps[i - 1] >= poll_wait_ms - 10, "the loop did not wait between steps");

        thread->cancel();
        const int at_cancel = steps.size();
        QTRY_VERIFY(!alive || alive->isFinished());
        QVERIFY(steps.size() <= at_cancel + 1);
        QTRY_VERIFY(!alive);
    }
};

QTEST_GUILESS_MAIN(tst_poll_loop)
#include "tst_poll_loop.moc"
