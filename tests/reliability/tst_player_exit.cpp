// The show player itself, started as an operator starts it among virtual
// yo-yos in a private X session, steered through its window and closed by
// the window manager's close from every state: it ends within seconds with
// exit code 0, having sent one stop to every yo-yo in a show and nothing in
// Idle. Built once per edition.
#include "program_driver.h"

#include "edition.h"
#include "startup.h"
#include "tz3_player_main.h"
#include "virtual_yoyos.h"

#include <QtTest>

#include <chrono>

namespace {

using player_edition::bluetooth;
constexpr rig::Transport edition = bluetooth ? rig::Transport::bluetooth : rig::Transport::usb;

const QString clip = QStringLiteral(PLAYER_TEST_CLIP);

} // namespace

class tst_player_exit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { startup::register_fonts(); }

    void closes_cleanly_from_every_state_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("answer_after_ms");
        QTest::addColumn<bool>("in_a_show");
        QTest::newRow("idle") << "idle" << 1 << false;
        QTest::newRow("about dialog open, closed first") << "about" << 1 << false;
        QTest::newRow("counting") << "counting" << 1 << true;
        QTest::newRow("playing") << "playing" << 1 << true;
        QTest::newRow("ended") << "ended" << 1 << true;
        // USB yo-yos that never answer keep the start reports' tasks running
        // on the pool when the window closes.
        if (!bluetooth)
            QTest::newRow("start reports still being sent") << "sending" << -1 << true;
    }

    void closes_cleanly_from_every_state()
    {
        QFETCH(QString, state);
        QFETCH(int, answer_after_ms);
        QFETCH(bool, in_a_show);

        rig::VirtualYoyos yoyos;
        const int count = 3;
        for (int i = 0; i < count; ++i)
            yoyos.add({edition, std::to_string(i + 1), answer_after_ms, 1});
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());

        tz3_player_main copy;
        ProgramDriver program(copy);
        QVERIFY(program.start(PLAYER_PROGRAM, environment));
        QTest::qWait(2500); // the first discovery step (1 s after start) has listed the yo-yos

        using clock = std::chrono::steady_clock;
        if (in_a_show) {
            program.click("btn_open");
            QVERIFY(program.pick_file("Open a Multimedia File", clip));
            // Play does nothing until the file is loaded (parse and the
            // one-second preview), which takes longer on a busy machine; once
            // a show runs the video container covers the button, so pressing
            // again is harmless.
            for (int attempt = 0; attempt < 10 && yoyos.received(0).empty(); ++attempt) {
                program.click("btn_play");
                yoyos.wait_for_reports(0, 1, 1500);
            }
            for (int i = 0; i < count; ++i)
                QVERIFY(yoyos.wait_for_reports(i, 1, 5000));
            const clock::time_point started = yoyos.received(0)[0].at;
            const auto wait_until = [&](int msecs) {
                const auto left = started + std::chrono::milliseconds(msecs) - clock::now();
                QTest::qWait(int(std::max<qint64>(0, std::chrono::duration_cast<std::chrono::milliseconds>(left).count())));
            };
            if (state == "counting")
                wait_until(2000);
            else if (state == "playing")
                wait_until(5800); // the video runs from 5 s on, for 2 s
            else if (state == "ended")
                wait_until(8500);
        } else if (state == "about") {
            program.click("btn_version");
            const unsigned about = program.wait_for_window("Version Infomation");
            QVERIFY(about);
            // The modal dialog holds the window behind it: a close of the
            // window is not taken while the dialog is up.
            program.close(program.window.id);
            QVERIFY(!program.process.waitForFinished(1000));
            program.close(about);
            QTest::qWait(300);
        }

        const qint64 took = program.close_and_wait(15000);
        qInfo("closed in %s: the program ended %lld ms later", qPrintable(state), took);
        QVERIFY2(took >= 0, "the program did not end");
        QVERIFY2(took < 5000, qPrintable(QString::number(took)));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 0);

        for (int i = 0; i < count; ++i) {
            std::vector<std::string> seen;
            for (const rig::Received &report : yoyos.received(i))
                seen.push_back(rig::describe(report.bytes));
            const std::vector<std::string> expected =
                in_a_show ? std::vector<std::string>{"start 240", "stop"} : std::vector<std::string>{};
            QCOMPARE(seen, expected);
        }
    }
};

QTEST_MAIN(tst_player_exit)
#include "tst_player_exit.moc"
