// The programs themselves as a show's cue system meets them: their command
// lines, a start armed there, two show players started at one moment over
// OSC among the same yo-yos, and the colour tool's commands.
#include "osc_client.h"
#include "program_driver.h"
#include "rig_reports.h"

#include <QtTest>

namespace {

using namespace std::chrono;
const QString clip = MEDIA_DIR "/clip_2s.mp4";

quint16 free_port()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

QString seconds_of(osc::wall::time_point at)
{
    return QString::number(duration<double>(at.time_since_epoch()).count(), 'f', 3);
}

} // namespace

class tst_show_control : public QObject
{
    Q_OBJECT

    rig::VirtualYoyos yoyos; // 0-2 USB, 3-4 Bluetooth

    // Each yo-yo's reports: how many ms after `at` each came.
    QVector<double> offsets(int yoyo, steady_clock::time_point at)
    {
        QVector<double> off;
        for (const rig::Received &report : yoyos.received(yoyo))
            off << duration<double, std::milli>(report.at - at).count();
        return off;
    }

private slots:
    void initTestCase()
    {
        for (int i = 0; i < 5; ++i)
            yoyos.add({i < 3 ? rig::Transport::usb : rig::Transport::bluetooth, std::to_string(i + 1), 1, 1});
    }
    void init() { yoyos.clear_received(); }

    void command_line_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exit_code"); // -1: runs on
        QTest::addColumn<QString>("says");
        QTest::newRow("version") << PULSETRA << QStringList{"--version"} << 0 << "pulsetra 1.0.0";
        QTest::newRow("help") << PULSETRA << QStringList{"--help"} << 0 << "--play-at <TIME>";
        QTest::newRow("unknown option") << PULSETRA << QStringList{"--loop"} << 2 << "Unknown option 'loop'";
        QTest::newRow("two videos") << PULSETRA << QStringList{clip, clip} << 2 << "one video at most";
        QTest::newRow("delay no number") << PULSETRA << QStringList{"--delay", "five", clip} << 2 << "'five' is no number";
        QTest::newRow("play-at, no video") << PULSETRA << QStringList{"--play-at", "12:00"} << 2 << "--play-at: needs a video";
        QTest::newRow("play-at, no time") << PULSETRA << QStringList{"--play-at", "25:00", clip} << 2 << "'25:00' is no time";
        QTest::newRow("osc, no port") << PULSETRA << QStringList{"--osc", "70000"} << 2 << "'70000' is no port";
        QTest::newRow("osc, no address") << PULSETRA << QStringList{"--osc", "stage:9000"} << 2 << "'stage' is no IP address";
        QTest::newRow("osc, port taken") << PULSETRA << QStringList{"--osc", QString::number(free_port())} << 2 << "--osc: ";
        QTest::newRow("video refused") << PULSETRA << QStringList{"/no/show.mp4"} << -1 << "/no/show.mp4: no such file";
        QTest::newRow("play-at gone by") << PULSETRA << QStringList{"--play-at", "@1000", clip} << -1 << "the start time has passed";
        QTest::newRow("colour tool, a file") << SKEEL << QStringList{"colours.txt"} << 2 << "skeel: command line: takes no file";
        QTest::newRow("colour tool, version") << SKEEL << QStringList{"--version"} << 0 << "skeel 1.0.0";
    }

    void command_line()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exit_code);
        QFETCH(QString, says);
        QUdpSocket taken; // the row's port stays taken
        taken.bind(QHostAddress(QHostAddress::LocalHost), arguments.value(1).toUShort());
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(program, arguments);
        QString output;
        QVERIFY(QTest::qWaitFor([&] { return (output += run.readAll()).contains(says); }, 15000));
        if (exit_code < 0) {
            QVERIFY(!run.waitForFinished(500));
            run.terminate();
        }
        QVERIFY(run.state() == QProcess::NotRunning || run.waitForFinished(5000));
        QCOMPARE(run.exitCode(), qMax(exit_code, 0));
        QVERIFY2(yoyos.received().empty(), "a refused start reached the yo-yos");
    }

    void play_at_from_command_line_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("on time") << false;
        QTest::newRow("Escape disarms") << true;
    }

    void play_at_from_command_line()
    {
        QFETCH(bool, escape);
        const auto at = osc::wall::now() + 6s;
        const auto at_steady = steady_clock::now() + (at - osc::wall::now());
        ProgramDriver program;
        QVERIFY(program.start(PULSETRA, {"--delay", "9999", "--play-at", "@" + seconds_of(at), clip}));
        const QString armed = " – starts at " + QDateTime::fromMSecsSinceEpoch(duration_cast<milliseconds>(at.time_since_epoch()).count()).toString("HH:mm:ss");
        const auto title = [&] { return program.display.window_of(program.process.processId()).title; };
        QVERIFY(QTest::qWaitFor([&] { return title() == "Vantrel Pulsetra" + armed; }, 5000));
        if (escape) {
            xdotool({"mousemove", "--window", QString::number(program.window.id), "20", "20"});
            xdotool({"key", "Escape"});
            QTRY_COMPARE(title(), QString("Vantrel Pulsetra"));
        }
        QTest::qWait(int(duration_cast<milliseconds>(at_steady - steady_clock::now()).count()) + 1000);
        for (int i = 0; i < 3 && !escape; ++i) {
            QCOMPARE(described(yoyos, i), QStringList{"start 71940"});
            QVERIFY2(qAbs(offsets(i, at_steady)[0]) < 25, qPrintable(QString::number(offsets(i, at_steady)[0])));
        }
        QCOMPARE(title(), QString("Vantrel Pulsetra"));
        program.check_ends("window manager", 5000);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(described(yoyos, i), (escape ? QStringList() : QStringList{"start 71940", "stop"}));
    }

    // Both players' start reports land on the set moment at every yo-yo; the
    // spread is measured in the benchmark.
    void two_players_at_one_time()
    {
        ProgramDriver first, second;
        const quint16 ports[] = {free_port(), free_port()};
        QVERIFY(first.start(PULSETRA, {"--osc", QString::number(ports[0]), clip}));
        QVERIFY(second.start(PULSETRA, {"--osc", QString::number(ports[1]), clip}));
        osc::Client cues[] = {osc::Client(ports[0]), osc::Client(ports[1])};
        const auto at = osc::wall::now() + 4s;
        const auto at_steady = steady_clock::now() + (at - osc::wall::now());
        for (osc::Client &cue : cues) {
            cue.send(osc::packet("/pulsetra/play_at", osc::message("t", osc::time_tag(at))));
            QCOMPARE(cue.replies(1, 10000), QStringList{"/pulsetra/state idle"});
        }
        for (int i = 0; i < 3; ++i) {
            QVERIFY(QTest::qWaitFor([&] { return yoyos.received(i).size() == 2; }, 8000));
            for (double off : offsets(i, at_steady))
                QVERIFY2(qAbs(off) < 25, qPrintable(QString::number(off)));
        }
        for (osc::Client &cue : cues) {
            cue.send(osc::packet("/pulsetra/stop", osc::message("")));
            QCOMPARE(cue.replies(1), QStringList{"/pulsetra/state idle"});
        }
        first.check_ends("window manager", 5000);
        second.check_ends("window manager", 5000);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(described(yoyos, i), (QStringList{"start 240", "start 240", "stop", "stop"}));
    }

    void colour_commands()
    {
        QTemporaryDir home;
        ProgramDriver program;
        const quint16 port = free_port();
        QVERIFY(program.start(SKEEL, {"--osc", QString::number(port)}, home.path()));
        osc::Client cue(port), watcher(port);
        watcher.send(osc::packet("/skeel/subscribe", osc::message("")));
        const struct {
            QByteArray sent;
            QString answer;
            QString colour;
        } rows[] = {
            {osc::packet("/skeel/colour", osc::message("iii", 255, 12, 77)), "/skeel/yoyos 2 2", "colour 255 12 77"},
            {osc::packet("/skeel/colour", osc::message("s", "#00ff80")), "/skeel/yoyos 2 2", "colour 0 255 128"},
            {osc::packet("/skeel/favourite", osc::message("i", 2)), "/skeel/yoyos 2 2", "colour 245 183 0"},
            {osc::packet("/skeel/black", osc::message("")), "/skeel/yoyos 2 2", "colour 0 0 0"},
            {osc::packet("/skeel/favourite", osc::message("i", 6)), "/skeel/error /skeel/favourite favourites are 1 to 5", ""},
            {osc::packet("/skeel/colour", osc::message("s", "red")), "/skeel/error /skeel/colour 'red' is no colour: give #rrggbb", ""},
            {osc::packet("/skeel/colour", osc::message("iii", 256, 0, 0)), "/skeel/error /skeel/colour each part of a colour is 0 to 255", ""},
            {osc::packet("/skeel/colour", osc::message("ii", 1, 2)), "/skeel/error /skeel/colour takes iii or s, not ii", ""},
            {osc::packet("/pulsetra/play", osc::message("")), "/skeel/error /pulsetra/play unknown address", ""},
        };
        // The subscriber hears of the yo-yos once the poller lists them.
        QVERIFY(QTest::qWaitFor([&] { return watcher.replies(1).contains("/skeel/yoyos 2 0"); }, 5000));
        for (const auto &row : rows) {
            yoyos.clear_received();
            cue.send(row.sent);
            QCOMPARE(cue.replies(2, 500), QStringList{row.answer});
            for (int i = 3; i < 5; ++i)
                QTRY_COMPARE(described(yoyos, i), (row.colour.isEmpty() ? QStringList() : QStringList{row.colour}));
        }
        QVERIFY(watcher.replies(10, 500).endsWith("/skeel/yoyos 2 2"));
        program.check_ends("window manager", 5000);
    }
};

PROGRAM_TEST_MAIN(tst_show_control)
#include "tst_show_control.moc"
