// The show player's window commanded over OSC among virtual yo-yos: what a
// bad packet gets back, a show run and stopped by a cue system through a
// flood of random packets, and the start at a set time.
#include "osc_client.h"
#include "player_remote.h"
#include "rig_reports.h"
#include "timed_start.h"
#include "tz3_player_main.h"

#include <QtTest>

#include <cmath>
#include <random>

namespace {

using namespace std::chrono;
using osc::message;
using osc::packet;

QStringList info_lines;
QtMessageHandler passed_on = nullptr;
void keep_remote_lines(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtInfoMsg && QByteArray(context.category) == "vantrel.remote")
        info_lines << text;
    else
        passed_on(type, context, text);
}

} // namespace

class tst_player_remote : public QObject
{
    Q_OBJECT

    rig::VirtualYoyos yoyos;
    tz3_player_main window;
    remote::timed_start start{window};
    remote::osc_endpoint endpoint{"/pulsetra"};
    remote::player_remote commands{window, endpoint, start};

    void open_clip(osc::Client &client)
    {
        client.send(packet("/pulsetra/open", message("s", MEDIA_DIR "/clip_2s.mp4")));
        QCOMPARE(client.replies(1, 10000), QStringList{"/pulsetra/state idle"});
    }

private slots:
    void initTestCase()
    {
        passed_on = qInstallMessageHandler(keep_remote_lines);
        for (int i = 0; i < 3; ++i)
            yoyos.add({rig::Transport::usb, std::to_string(i + 1), 1, 1});
        QCOMPARE(endpoint.listen(QHostAddress::LocalHost, 0), QString());
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(window.listed_yoyos(), 3, 5000);
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("answer");
        const auto ago = osc::wall::now() - 10s;
        const double ago_seconds = duration<double>(ago.time_since_epoch()).count();
        const QByteArray open = packet("/pulsetra/open", message("s", "/no/such/video.mp4"));
        QTest::newRow("unknown address") << packet("/pulsetra/jump", message("")) << "/pulsetra/jump unknown address";
        QTest::newRow("a colour command") << packet("/skeel/black", message("")) << "/skeel/black unknown address";
        QTest::newRow("wrong type") << packet("/pulsetra/delay", message("d", 5.0)) << "/pulsetra/delay takes i or s, not d";
        QTest::newRow("delay no number") << packet("/pulsetra/delay", message("s", "five")) << "/pulsetra/delay 'five' is no number";
        QTest::newRow("play, no video") << packet("/pulsetra/play", message("")) << "/pulsetra/play no video is open";
        QTest::newRow("stop, no show") << packet("/pulsetra/stop", message("")) << "/pulsetra/stop no show is running";
        QTest::newRow("open a missing file") << open << "/pulsetra/open no such file";
        QTest::newRow("play_at NaN") << packet("/pulsetra/play_at", message("d", std::nan(""))) << "/pulsetra/play_at the time is no number";
        QTest::newRow("play_at negative") << packet("/pulsetra/play_at", message("d", -5.0)) << "/pulsetra/play_at the time is out of range";
        QTest::newRow("play_at past seconds") << packet("/pulsetra/play_at", message("d", ago_seconds)) << "/pulsetra/play_at the start time has passed";
        QTest::newRow("play_at past time tag") << packet("/pulsetra/play_at", message("t", osc::time_tag(ago))) << "/pulsetra/play_at the start time has passed";
        QTest::newRow("play in a past bundle") << osc::bundle(ago, "/pulsetra/play", message("")) << "/pulsetra/play the start time has passed";
        QTest::newRow("oversized") << packet("/pulsetra/open", message("s", QByteArray(9000, 'a').constData())) << "/pulsetra/open packet larger than 8192 bytes";
        QTest::newRow("truncated") << open.chopped(3) << "/pulsetra/open malformed packet";
        QTest::newRow("truncated bundle") << osc::bundle(ago, "/pulsetra/stop", message("")).chopped(4) << " malformed packet";
        QTest::newRow("empty") << QByteArray() << " malformed packet";
    }

    // One error back, one info line, and nothing else: no report, no state.
    void refused()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QString, answer);
        osc::Client client(endpoint.port());
        info_lines.clear();
        yoyos.clear_received();
        client.send(sent);
        QCOMPARE(client.replies(2, 500), QStringList{"/pulsetra/error " + answer});
        QCOMPARE(info_lines.size(), 1);
        QVERIFY2(info_lines[0].endsWith(answer.section(' ', 1)), qPrintable(info_lines[0]));
        QCOMPARE(window.state(), remote::player_control::show_state::idle);
        QVERIFY(!start.armed());
        QVERIFY(yoyos.received().empty());
    }

    // A cue system runs a show while random and mutated packets pour in; the
    // countdown keeps its time and the yo-yos hear nothing but start and stop.
    void show_through_a_flood()
    {
        osc::Client cue(endpoint.port()), watcher(endpoint.port());
        watcher.send(packet("/pulsetra/subscribe", message("")));
        QCOMPARE(watcher.replies(2), (QStringList{"/pulsetra/state idle", "/pulsetra/yoyos 3 0"}));
        open_clip(cue);
        yoyos.clear_received();
        cue.send(packet("/pulsetra/delay", message("i", 6)));
        cue.send(packet("/pulsetra/play", message("")));
        QCOMPARE(cue.replies(3), (QStringList{"/pulsetra/state idle", "/pulsetra/state counting", "/pulsetra/remaining 6"}));
        const auto started = steady_clock::now();

        const QByteArray seeds[] = {
            packet("/pulsetra/open", message("s", MEDIA_DIR "/clip_2s.mp4")),
            packet("/pulsetra/delay", message("i", 30)), packet("/pulsetra/play", message("")),
            packet("/pulsetra/play_at", message("d", 2e9)), packet("/pulsetra/full_screen", message("i", 1)),
            packet("/pulsetra/subscribe", message("")),
            osc::bundle(osc::wall::now() + 1s, "/pulsetra/delay", message("s", "9")),
        };
        std::mt19937 random(23);
        int fed = 0;
        while (steady_clock::now() - started < 2s) {
            QByteArray sent = seeds[random() % std::size(seeds)];
            switch (random() % 4) {
            case 0: sent = sent.left(int(random() % (sent.size() + 1))); break;
            case 1: for (int i = 0; i < 4; ++i) sent[int(random() % sent.size())] = char(random()); break;
            case 2: sent.resize(int(random() % 64)); for (char &c : sent) c = char(random()); break;
            default: sent.insert(int(random() % sent.size()), QByteArray(int(random() % 9), char(random()))); break;
            }
            endpoint.receive(sent, {QHostAddress::LocalHost, 9});
            if (++fed % 50 == 0)
                QCoreApplication::processEvents();
        }
        QVERIFY2(fed > 1000, qPrintable(QString::number(fed)));
        QCOMPARE(window.state(), remote::player_control::show_state::counting);
        QTRY_COMPARE_WITH_TIMEOUT(window.remaining(), 3, 2000);
        cue.send(packet("/pulsetra/stop", message("")));
        QCOMPARE(cue.replies(1), QStringList{"/pulsetra/state idle"});
        for (int i = 0; i < 3; ++i)
            QTRY_COMPARE(described(yoyos, i), (QStringList{"start 300", "stop"}));
        const QStringList seen = watcher.replies(100, 300);
        QCOMPARE(seen.mid(0, 3), (QStringList{"/pulsetra/state counting", "/pulsetra/remaining 6", "/pulsetra/yoyos 3 3"}));
        QCOMPARE(seen.mid(3), (QStringList{"/pulsetra/remaining 5", "/pulsetra/remaining 4", "/pulsetra/remaining 3",
                                           "/pulsetra/state idle"}));
    }

    void starts_on_time_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("play_at seconds") << "d";
        QTest::newRow("play_at time tag") << "t";
        QTest::newRow("play in a bundle due later") << "bundle";
    }

    // The start reports land on the set time; generous bounds here, the
    // figures in the benchmark.
    void starts_on_time()
    {
        QFETCH(QString, how);
        osc::Client cue(endpoint.port());
        open_clip(cue);
        yoyos.clear_received();
        const auto at = osc::wall::now() + 1500ms;
        const auto at_steady = steady_clock::now() + (at - osc::wall::now());
        const double seconds = duration<double>(at.time_since_epoch()).count();
        cue.send(how == "bundle" ? osc::bundle(at, "/pulsetra/play", message(""))
                 : how == "d"    ? packet("/pulsetra/play_at", message("d", seconds))
                                 : packet("/pulsetra/play_at", message("t", osc::time_tag(at))));
        QCOMPARE(cue.replies(1), QStringList{"/pulsetra/state idle"});
        QVERIFY(start.armed());
        const qint64 at_ms = duration_cast<milliseconds>(at.time_since_epoch()).count();
        QVERIFY(window.windowTitle().endsWith(" – starts at " + QDateTime::fromMSecsSinceEpoch(at_ms).toString("HH:mm:ss")));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(QTest::qWaitFor([&] { return !yoyos.received(i).empty(); }, 5000));
            const double off_ms = duration<double, std::milli>(yoyos.received(i)[0].at - at_steady).count();
            QVERIFY2(off_ms > -1 && off_ms < 25, qPrintable(QString::number(off_ms)));
        }
        QCOMPARE(window.state(), remote::player_control::show_state::counting);
        QVERIFY(!window.windowTitle().contains("starts at"));
        cue.send(packet("/pulsetra/stop", message("")));
        QCOMPARE(cue.replies(1), QStringList{"/pulsetra/state idle"});
    }
};

QTEST_MAIN(tst_player_remote)
#include "tst_player_remote.moc"
