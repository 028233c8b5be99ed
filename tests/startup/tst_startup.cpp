// Each program started as a user starts it: it shows its window, and closing
// that window ends the process with exit code 0.
#include "virtual_yoyos.h"
#include "x11_client.h"

#include <QProcess>
#include <QtTest>

class tst_startup : public QObject
{
    Q_OBJECT

private slots:
    void starts_shows_and_exits_cleanly_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("logical_width");
        QTest::addColumn<QStringList>("bluetooth_reports");

        // The players open at their initial width; the colour tool fixes its
        // own size from its layout, so only its kind of window is checked.
        const QString normal = "_NET_WM_WINDOW_TYPE_NORMAL";
        const QString dialog = "_NET_WM_WINDOW_TYPE_DIALOG";
        QTest::newRow("pulsetra") << PULSETRA << "Vantrel Pulsetra" << normal << 550 << QStringList();
        QTest::newRow("pulsetra_ble") << PULSETRA_BLE << "Vantrel Pulsetra (BLE)" << normal << 550 << QStringList();
        // With Auto ticked, closing the colour tool sends black.
        QTest::newRow("skeel") << SKEEL << "Vantrel Bluetooth Skeel" << dialog << 0
                               << QStringList{"colour 0 0 0"};
    }

    void starts_shows_and_exits_cleanly()
    {
        QFETCH(QString, program);
        QFETCH(QString, title);
        QFETCH(QString, type);
        QFETCH(int, logical_width);
        QFETCH(QStringList, bluetooth_reports);

        rig::VirtualYoyos yoyos;
        const int usb = yoyos.add({rig::Transport::usb, "1001", 1, 1});
        const int ble = yoyos.add({rig::Transport::bluetooth, "2001", -1, 1});

        X11Client x11;
        QVERIFY(x11.connected());

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // The programs must turn automatic scaling on whatever the user set.
        environment.insert("QT_AUTO_SCREEN_SCALE_FACTOR", "0");
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Arguments that are no options of Qt's change nothing.
        process.start(program, {"--no-such-option", "some-file.mp4"});
        QVERIFY(process.waitForStarted());

        X11Client::Window window;
        QTRY_VERIFY_WITH_TIMEOUT((window = x11.window_of(process.processId())).viewable, 20000);
        QCOMPARE(window.title, title);
        QCOMPARE(window.type, type);
        if (logical_width) {
            // The session's screen has twice the usual density.
            QCOMPARE(window.width, 2 * logical_width);
        }

        x11.close(window.id);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);

        QVERIFY(yoyos.received(usb).empty());
        QStringList got;
        for (const rig::Received &report : yoyos.received(ble))
            got << QString::fromStdString(rig::describe(report.bytes));
        QCOMPARE(got, bluetooth_reports);
    }
};

QTEST_GUILESS_MAIN(tst_startup)
#include "tst_startup.moc"
