// The real programs among virtual yo-yos, ended by SIGINT (Ctrl+C) or SIGTERM
// the way their close buttons end them: a show's yo-yos get their stop, the
// colour tool's get black and its favourites are saved, and the exit code is
// 0. A second signal while closing ends the program at once.
#include "program_driver.h"
#include "rig_reports.h"

#include "tz3_player_main.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class tst_signals : public QObject
{
    Q_OBJECT

private slots:
    void ends_as_the_close_button_does_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QList<int>>("signals_sent");
        QTest::addColumn<QStringList>("reports"); // what each yo-yo saw; empty: killed at once
        const QStringList show{"start 240", "stop"}, black{"colour 0 0 0"};
        QTest::newRow("show player in a show, SIGINT") << "pulsetra" << QList<int>{SIGINT} << show;
        QTest::newRow("show player in a show, SIGTERM") << "pulsetra" << QList<int>{SIGTERM} << show;
        QTest::newRow("colour tool with Auto, SIGINT") << "skeel" << QList<int>{SIGINT} << black;
        QTest::newRow("colour tool with Auto, SIGTERM") << "skeel" << QList<int>{SIGTERM} << black;
        QTest::newRow("colour tool, a second signal") << "skeel" << QList<int>{SIGINT, SIGTERM} << QStringList();
    }

    void ends_as_the_close_button_does()
    {
        QFETCH(QString, program);
        QFETCH(QList<int>, signals_sent);
        QFETCH(QStringList, reports);
        const bool player = program == "pulsetra";
        rig::VirtualYoyos yoyos;
        for (int i = 0; i < 2; ++i)
            yoyos.add({player ? rig::Transport::usb : rig::Transport::bluetooth, std::to_string(i + 1), 1, 1});
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());

        tz3_player_main copy;
        copy.setAttribute(Qt::WA_DontShowOnScreen);
        copy.show();
        ProgramDriver driver;
        QVERIFY(driver.start(player ? PULSETRA : SKEEL, environment));
        // Nothing outside tells when the first discovery has listed the
        // yo-yos; both programs list them within a second.
        QTest::qWait(1500);
        if (player) {
            driver.click(copy.findChild<QWidget *>("btn_open"));
            QVERIFY(driver.pick_file("Open a Multimedia File", MEDIA_DIR "/clip_2s.mp4"));
            // Play does nothing until the file is loaded.
            QVERIFY(QTest::qWaitFor([&] {
                driver.click(copy.findChild<QWidget *>("btn_play"));
                return yoyos.wait_for_reports(0, 1, 1500);
            }, 15000));
        }

        for (int number : signals_sent)
            QCOMPARE(::kill(driver.process.processId(), number), 0);
        QVERIFY(driver.process.waitForFinished(15000));
        if (reports.isEmpty()) {
            QCOMPARE(driver.process.exitStatus(), QProcess::CrashExit);
            return;
        }
        QCOMPARE(driver.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(driver.process.exitCode(), 0);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(described(yoyos, i), reports);
        QCOMPARE(QFile::exists(home.filePath(".vantrel_skeel")), !player);
    }
};

PROGRAM_TEST_MAIN(tst_signals)
#include "tst_signals.moc"
