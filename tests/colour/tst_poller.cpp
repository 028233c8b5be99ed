// The cancellable thread, the hand-over to the GUI thread and the poll loop,
// without any window.
#include "poll_context.h"
#include "poll_loop.h"
#include "poll_thread.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>

class tst_poller : public QObject
{
    Q_OBJECT

private slots:
    void wait_cancel_outside_a_thread_returns_at_once()
    {
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!Thread::wait_cancel(2000, true));
        QVERIFY(clock.elapsed() < 1000);
    }

    void gate_is_closed_until_cancelled_and_each_opening_is_used_once()
    {
        Thread thread;
        std::atomic<bool> timed_out{false}, opened{false}, consumed{false}, thrown{false};
        std::atomic<qint64> waited{0};
        connect(&thread, &QThread::started, [&] {
            timed_out = !Thread::wait_cancel(50, false);
            QElapsedTimer clock;
            clock.start();
            opened = Thread::wait_cancel(10000, false);
            waited = clock.elapsed();
            consumed = !Thread::wait_cancel(50, false);
            try {
                Thread::wait_cancel(10000, true);
            } catch (const Thread::Sig_Cancel &) {
                thrown = true;
            }
            thread.quit();
        });
        thread.start();
        QTRY_VERIFY(timed_out);
        thread.cancel();
        QTRY_VERIFY(consumed);
        thread.cancel();
        QVERIFY(thread.wait(5000));
        QVERIFY(opened);
        QVERIFY(waited < 5000);
        QVERIFY(thrown);
    }

    void context_runs_its_work_on_the_gui_thread_before_returning()
    {
        Thread thread;
        QThread *ran_on = nullptr;
        std::atomic<bool> ran_before_return{false};
        connect(&thread, &QThread::started, [&] {
            auto *context = new QtConcurrent::Context(nullptr);
            connect(context, &QtConcurrent::Context::do_context, [&, context] {
                ran_on = QThread::currentThread();
                context->deleteLater();
            });
            context->run(true);
            ran_before_return = ran_on != nullptr;
            thread.quit();
        });
        thread.start();
        QTRY_VERIFY(thread.isFinished());
        QCOMPARE(ran_on, QThread::currentThread());
        QVERIFY(ran_before_return);
    }

    void loop_paces_steps_and_ends_after_one_wait_once_cancelled_data()
    {
        QTest::addColumn<bool>("delete_when_done");
        QTest::newRow("deletes itself") << true;
        QTest::newRow("kept") << false;
    }

    void loop_paces_steps_and_ends_after_one_wait_once_cancelled()
    {
        QFETCH(bool, delete_when_done);
        auto *thread = new Thread;
        QPointer<Thread> alive(thread);
        thread->moveToThread(thread);
        QVector<qint64> steps;
        QElapsedTimer clock;
        clock.start();
        connect(thread, &QThread::started, poll_loop{thread, delete_when_done, [&] {
            QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
            steps.append(clock.elapsed());
        }});
        thread->start();
        QTRY_VERIFY(steps.size() >= 3);
        for (int i = 1; i < steps.size(); ++i)
            QVERIFY2(steps[i] - steps[i - 1] >= poll_wait_ms - 10, "the loop did not wait between steps");

        thread->cancel();
        const int at_cancel = steps.size();
        QTRY_VERIFY(!alive || alive->isFinished());
        QVERIFY(steps.size() <= at_cancel + 1);
        if (delete_when_done) {
            QTRY_VERIFY(!alive);
        } else {
            QTest::qWait(poll_wait_ms);
            QVERIFY(alive);
            QCOMPARE(alive->thread(), QCoreApplication::instance()->thread());
            delete thread;
        }
    }
};

QTEST_GUILESS_MAIN(tst_poller)
#include "tst_poller.moc"
