// The show player itself (each edition) among virtual yo-yos on a screen of
// twice the usual density, ended from every state by its window's close or by
// SIGINT/SIGTERM.
#include "program_driver.h"
#include "rig_reports.h"

#include "edition.h"
#include "transport.h"
#include "tz3_player_main.h"

#include <QtTest>

#include <chrono>

namespace {

using player_edition::bluetooth;
constexpr rig::Transport edition = bluetooth ? rig::Transport::bluetooth : rig::Transport::usb;

} // namespace

class tst_pulsetra : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }

    void ends_from_every_state_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("ended_by");
        QTest::addColumn<int>("answer_after_ms");
        QTest::addColumn<QStringList>("reports");
        const QStringList show{"start 240", "stop"};
        // The signal closes the modal dialog first, as an operator would.
        QTest::addRow("idle, about dialog up, SIGTERM") << "idle" << "SIGTERM" << 1 << QStringList();
        QTest::addRow("counting") << "counting" << "window manager" << 1 << show;
        QTest::addRow("counting, SIGINT") << "counting" << "SIGINT" << 1 << show;
        QTest::addRow("playing") << "playing" << "window manager" << 1 << show;
        QTest::addRow("ended") << "ended" << "window manager" << 1 << show;
        // Yo-yos that never answer keep the start reports' tasks waiting; the
        // Bluetooth edition waits for no answer.
        if (!bluetooth)
            QTest::addRow("start reports on the way") << "sending" << "window manager" << -1 << show;
    }

    void ends_from_every_state()
    {
        QFETCH(QString, state);
        QFETCH(QString, ended_by);
        QFETCH(int, answer_after_ms);
        QFETCH(QStringList, reports);
        rig::VirtualYoyos yoyos;
        for (int i = 0; i < 3; ++i)
            yoyos.add({edition, std::to_string(i + 1), answer_after_ms, 1});

        tz3_player_main copy;
        copy.setAttribute(Qt::WA_DontShowOnScreen);
        copy.show();
        ProgramDriver program;
        // Options it does not know change nothing; a file that is no video is
        // refused and the window starts without it.
        QVERIFY(program.start(PROGRAM, {"--no-such-option", "some-file.mp4"}));
        QCOMPARE(program.window.title, QString(bluetooth ? "Vantrel Pulsetra (BLE)" : "Vantrel Pulsetra"));
        QCOMPARE(program.window.width, qRound(copy.width() * program.scale()));
        // The first discovery, a second after start, lists the yo-yos.
        QTest::qWait(1500);

        if (state == "idle") {
            program.check_about(copy.findChild<QWidget *>("btn_version"));
        } else {
            program.click(copy.findChild<QWidget *>("btn_open"));
            QVERIFY(program.pick_file("Open a Multimedia File", MEDIA_DIR "/clip_2s.mp4"));
            // Play does nothing until the file is loaded; once a show runs
            // the video covers the button, so pressing again is harmless.
            QVERIFY(QTest::qWaitFor([&] {
                program.click(copy.findChild<QWidget *>("btn_play"));
                return yoyos.wait_for_reports(0, 1, 1500);
            }, 15000));
                const auto since_start = [&] {
                return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now()
                                                                             - yoyos.received(0)[0].at).count();
            };
            if (state == "counting") {
                QTest::qWait(int(2000 - since_start()));
                QVERIFY(!program.shows_video());
            } else if (state == "sending") {
                for (int i = 1; i < 3; ++i)
                    QVERIFY(yoyos.wait_for_reports(i, 1, 1000));
                QVERIFY2(since_start() < yoyo::answer_timeout_ms, "the answers are no longer awaited");
            } else if (state == "playing") {
                QVERIFY2(QTest::qWaitFor([&] { return program.shows_video(); }, 10000), "the video never showed");
            } else {
                // Its sound plays from D for the clip's two seconds; at the
                // end the window turns black and the sound stops.
                const auto sound_flows = [] { return sound_streams().contains("Corked: no"); };
                QVERIFY2(QTest::qWaitFor(sound_flows, 10000), "the video never started");
                QVERIFY2(QTest::qWaitFor([&] { return !program.shows_video() && !sound_flows(); }, 10000),
                         "the video never ended");
            }
        }

        if (QTest::currentTestFailed())
            return;
        program.check_ends(ended_by, 5000);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(described(yoyos, i), reports);
    }
};

PROGRAM_TEST_MAIN(tst_pulsetra)
#include "tst_pulsetra.moc"
