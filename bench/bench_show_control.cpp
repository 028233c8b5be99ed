// Several computers, one show, measured on one: two show players, each a
// process of its own in one X session among the same virtual yo-yos, both
// told over OSC to start at one moment (/pulsetra/play_at). Every yo-yo then
// gets two start reports; the gap between them is the two players' skew
// with clocks that agree, and each report's distance from the set time is
// how well a player keeps it.
#include "bench_support.h"
#include "osc_client.h"
#include "virtual_yoyos.h"

#include <QProcess>
#include <QUdpSocket>

#include <cstdio>

using namespace std::chrono;
using bench::fail;
using bench::steady;

namespace {

constexpr int yoyo_count = 8;

quint16 free_port()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

bool every_yoyo_has(const rig::VirtualYoyos &yoyos, int count, std::size_t reports)
{
    for (int i = 0; i < count; ++i)
        if (yoyos.received(i).size() < reports)
            return false;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    rig::VirtualYoyos yoyos;
    yoyos.add({rig::Transport::usb, "1", 1, 1});

    QProcess players[2];
    std::vector<osc::Client *> cues;
    for (QProcess &player : players) {
        const quint16 port = free_port();
        player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        player.start(PULSETRA, {"--osc", QString::number(port), BENCH_CLIP});
        cues.push_back(new osc::Client(port));
    }
    bench::Table table({"Beside it", "Shows", "Yo-yos", "Gap between the two players' start reports at a yo-yo, ms (min / median / max)",
                        "Start report − set time, ms, absolute (min / median / max)", "Limits: median gap, median distance, ms",
                        "Within (gap / distance)"});
    // One yo-yo shows what the players keep; with eight, the rig serves the
    // two players' sixteen writes one after the other on its one thread.
    for (const int yoyo_count : {1, 8}) {
        for (int i = 1; i < yoyo_count; ++i) // the yo-yos beyond the first
            yoyos.add({rig::Transport::usb, std::to_string(i + 1), 1, 1});
        // Each player answers once its window is up with the clip open, and
        // lists the yo-yos once a second.
        for (osc::Client *cue : cues) {
            const bool listed = bench::run_event_loop_until([&] {
                cue->send(osc::packet("/pulsetra/subscribe", osc::message("")));
                return cue->replies(3, 500).join(' ').contains(QStringLiteral("/pulsetra/yoyos %1 ").arg(yoyo_count));
            }, 30000);
            if (!listed)
                fail("a show player did not list the yo-yos");
        }

        std::vector<double> gaps, offsets;
        const int shows = bench::repeats(20, 3);
        for (int show = 0; show < shows; ++show) {
            std::fprintf(stderr, "bench: two players, %d yo-yos, show %d of %d\n", yoyo_count, show + 1, shows);
            yoyos.clear_received();
            const auto at = osc::wall::now() + 1500ms;
            const steady::time_point at_steady = steady::now() + (at - osc::wall::now());
            for (osc::Client *cue : cues)
                cue->send(osc::packet("/pulsetra/play_at", osc::message("t", osc::time_tag(at))));
            if (!bench::run_event_loop_until([&] { return every_yoyo_has(yoyos, yoyo_count, 2); }, 5000))
                fail("a start report did not come");
            for (int i = 0; i < yoyo_count; ++i) {
                const auto reports = yoyos.received(i);
                gaps.push_back(bench::ms_between(reports[0].at, reports[1].at));
                for (int r = 0; r < 2; ++r)
                    offsets.push_back(std::abs(bench::ms_between(at_steady, reports[r].at)));
            }
            for (osc::Client *cue : cues)
                cue->send(osc::packet("/pulsetra/stop", osc::message("")));
            if (!bench::run_event_loop_until([&] { return every_yoyo_has(yoyos, yoyo_count, 4); }, 5000))
                fail("a stop report did not come");
            bench::run_event_loop_until([] { return false; }, 500);
        }
        const bench::Summary gap = bench::summarise(gaps), offset = bench::summarise(offsets);
        table.add({"two show players (USB edition), each with the 2-second clip open and D = 5, in one X session; "
                   "the rig in this process",
                   std::to_string(shows), std::to_string(yoyo_count) + " USB, answering after 1 ms", bench::three(gap),
                   bench::three(offset), "2.00 / 2.00",
                   bench::verdict(gap.median <= 2) + " / " + bench::verdict(offset.median <= 2)});
    }
    for (QProcess &player : players) {
        player.terminate();
        player.waitForFinished(10000);
    }
    table.print("remote");
    return 0;
}
