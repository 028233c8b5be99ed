// The real program among virtual yo-yos in a private X session, closed the
// way a window manager closes it.
#include "virtual_yoyos.h"
#include "x11_client.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

class tst_skeel_exit : public QObject
{
    Q_OBJECT

private slots:
    void closes_at_once_with_exit_code_0_data()
    {
        QTest::addColumn<int>("running_ms");
        QTest::newRow("as soon as it shows") << 0;
        QTest::newRow("after some poll cycles") << 900;
        QTest::newRow("in the middle of a cycle") << 1030;
    }

    void closes_at_once_with_exit_code_0()
    {
        QFETCH(int, running_ms);
        rig::VirtualYoyos yoyos;
        for (const char *serial : {"1", "2"})
            yoyos.add({rig::Transport::bluetooth, serial, -1, 1});
        QTemporaryDir home;
        X11Client display;
        QVERIFY(home.isValid() && display.connected());

        QProcess skeel;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        skeel.setProcessEnvironment(environment);
        skeel.setProcessChannelMode(QProcess::ForwardedChannels);
        skeel.start(SKEEL_PROGRAM, QStringList());
        QVERIFY(skeel.waitForStarted());
        X11Client::Window window;
        QTRY_VERIFY_WITH_TIMEOUT((window = display.window_of(skeel.processId())).viewable, 20000);
        QCOMPARE(window.title, QString("Vantrel Bluetooth Skeel"));
        // The program has nothing to show from outside while it polls; let it.
        QTest::qWait(running_ms);

        QElapsedTimer clock;
        clock.start();
        display.close(window.id);
        QVERIFY(skeel.waitForFinished(10000));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString("took %1 ms").arg(clock.elapsed())));
        QCOMPARE(skeel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(skeel.exitCode(), 0);
        QVERIFY(QFile::exists(home.filePath(".vantrel_skeel")));
        if (running_ms > 0) {
            // With Auto ticked the close turned every yo-yo black.
            for (int yoyo : {0, 1}) {
                QVERIFY(yoyos.wait_for_reports(yoyo, 1, 5000));
                QCOMPARE(rig::describe(yoyos.received(yoyo).back().bytes), std::string("colour 0 0 0"));
            }
        }
    }
};

QTEST_GUILESS_MAIN(tst_skeel_exit)
#include "tst_skeel_exit.moc"
