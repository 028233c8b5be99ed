// Broadcasts against virtual yo-yos through the real hidapi.
#include "broadcast.h"
#include "discovery.h"
#include "hid_library.h"
#include "process_footprint.h"
#include "rig_reports.h"
#include "slow_opens.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

Q_DECLARE_METATYPE(yoyo::Transport)

namespace {

constexpr int silent = -1;

using Moment = yoyo::Broadcast::Moment;

rig::Transport rig_kind(const yoyo::Transport &transport)
{
    return transport.reads_answer ? rig::Transport::usb : rig::Transport::bluetooth;
}

// One discovery step's list, freed at the end of its scope.
struct List {
    hid_device_info *head;
    explicit List(const yoyo::Transport &transport) : head(yoyo::discover(transport)) {}
    ~List() { hid_free_enumeration(head); }
};

} // namespace

class tst_broadcast : public QObject
{
    Q_OBJECT

    std::unique_ptr<rig::VirtualYoyos> yoyos;

    void add(const yoyo::Transport &transport, int count, int answer_after_ms = 1)
    {
        for (int i = 0; i < count; ++i)
            yoyos->add({rig_kind(transport), std::to_string(i + 1), answer_after_ms, 1});
    }

private slots:
    void initTestCase() { yoyo::library_init(); }
    void init() { yoyos = std::make_unique<rig::VirtualYoyos>(); }
    // Each broadcast's destructor has waited for its deliveries.
    void cleanup() { yoyos.reset(); }

    // The deliveries own copies of the path and report, as the caller's list
    // and buffer go at once. Silent yo-yos have a start and its stop within
    // one answer time-out. (The rig holds at most 50 open handles, and failed
    // opens keep theirs, so this runs first; a send holds a handle for each
    // of its yo-yos until its answer, so the rows stop at 48.)
    void reports_to_one_yoyo_keep_their_order_data()
    {
        QTest::addColumn<yoyo::Transport>("transport");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("answer_after_ms");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<int>("within_ms");
        QTest::addRow("none") << yoyo::usb << 0 << 1 << 1 << 0;
        QTest::addRow("usb, 48 answering") << yoyo::usb << 48 << 1 << 2 << 30000;
        QTest::addRow("usb, 24 silent") << yoyo::usb << 24 << silent << 1 << yoyo::answer_timeout_ms + 900;
        QTest::addRow("bluetooth, 24, 15 rounds") << yoyo::bluetooth << 24 << 1 << 15 << 30000;
    }
    void reports_to_one_yoyo_keep_their_order()
    {
        QFETCH(yoyo::Transport, transport);
        QFETCH(int, count);
        QFETCH(int, answer_after_ms);
        QFETCH(int, rounds);
        QFETCH(int, within_ms);
        add(transport, count, answer_after_ms);
        // Each delivery's outcome, by yo-yo and round.
        std::mutex mutex;
        std::map<std::string, std::map<unsigned, QString>> told;
        yoyo::Broadcast broadcast(transport, yoyo::Broadcast::Backlog::every_report, [&](const yoyo::Outcome &o) {
            std::lock_guard<std::mutex> locker(mutex);
            told[o.path][o.round] = yoyo::report_text(o.report) + " " + QString::number(o.result);
        });
        const yoyo::Outcome::Result result = !transport.reads_answer ? yoyo::Outcome::written
                                             : answer_after_ms < 0  ? yoyo::Outcome::no_answer
                                                                    : yoyo::Outcome::answered;
        QStringList expected;
        for (int round = 0; round < rounds; ++round) {
            List list(transport);
            QCOMPARE(yoyo::count_records(list.head), count);
            yoyo::UsbReport start = yoyo::start_report(5 + round);
            broadcast.send(list.head, start.data());
            start.fill(0xFF);
            broadcast.send(list.head, yoyo::stop_report().data());
            expected << QStringLiteral("start %1").arg((4 + round) * 60) << "stop";
        }
        QVERIFY(broadcast.wait_for_tasks(within_ms));
        for (int i = 0; i < count; ++i)
            QCOMPARE(described(*yoyos, i), expected);
        QStringList expected_told;
        for (const QString &report : expected)
            expected_told << report + " " + QString::number(result);
        QCOMPARE(int(told.size()), count);
        for (const auto &[path, rounds_told] : told) {
            QStringList seen;
            for (const auto &[round, outcome] : rounds_told)
                seen << outcome;
            QCOMPARE(seen, expected_told);
            QCOMPARE(rounds_told.rbegin()->first, broadcast.rounds());
        }
    }

    // Where only the newest report waits, reports sent while the yo-yo is
    // still being written the first one give way to the newest.
    void only_the_newest_report_waits()
    {
        add(yoyo::bluetooth, 1);
        List list(yoyo::bluetooth);
        // The rig holds the first write until the other reports have been sent.
        std::promise<void> writing, gate;
        std::atomic<bool> first{true};
        yoyos->on_report([&writing, &first, opened = gate.get_future().share()](const rig::Received &) {
            if (first.exchange(false))
                writing.set_value();
            opened.wait_for(std::chrono::seconds(10));
        });
        yoyo::Broadcast broadcast(yoyo::bluetooth, yoyo::Broadcast::Backlog::newest_only);
        broadcast.send(list.head, yoyo::start_report(5).data());
        QCOMPARE(writing.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
        for (int delay = 6; delay <= 8; ++delay)
            broadcast.send(list.head, yoyo::start_report(delay).data());
        gate.set_value();
        QVERIFY(broadcast.wait_for_tasks(10000));
        // The broadcast's own thread may not have queued every later report
        // by the time the first write is let go; the one it had queued then
        // goes too. Never all of them, never out of order, the newest last.
        const QStringList seen = described(*yoyos, 0);
        QVERIFY2(seen.size() == 2 || (seen.size() == 3 && (seen[1] == "start 300" || seen[1] == "start 360")),
                 qPrintable(seen.join(", ")));
        QCOMPARE(seen.first(), QString("start 240"));
        QCOMPARE(seen.last(), QString("start 420"));
    }

    // Every yo-yo is opened before any is written (the opens made slow); the
    // writes are released together, at the moment asked for if any, and the
    // caller, never held, is told when they went out or that none could.
    void writes_wait_for_the_last_open_data()
    {
        QTest::addColumn<int>("refused");
        QTest::addColumn<int>("silent_ones");
        QTest::addColumn<int>("fire_in_ms");
        QTest::addRow("8") << 0 << 0 << -1;
        QTest::addRow("8: 3 refused, 2 silent") << 3 << 2 << -1;
        QTest::addRow("8, at a moment") << 0 << 0 << 300;
        QTest::addRow("8, all refused") << 8 << 0 << -1;
    }
    void writes_wait_for_the_last_open()
    {
        QFETCH(int, refused);
        QFETCH(int, silent_ones);
        QFETCH(int, fire_in_ms);
        add(yoyo::usb, 8 - silent_ones);
        add(yoyo::usb, silent_ones, silent);
        for (int i = 0; i < refused; ++i)
            yoyos->refuse_open(i, true);
        List list(yoyo::usb);
        slow_opens::set(3);
        const Moment called = std::chrono::steady_clock::now();
        const std::optional<Moment> fire_at =
            fire_in_ms < 0 ? std::nullopt : std::optional(called + std::chrono::milliseconds(fire_in_ms));
        std::promise<std::optional<Moment>> told;
        {
            yoyo::Broadcast broadcast(yoyo::usb);
            broadcast.send(list.head, yoyo::start_report(5).data(), fire_at,
                           [&told](std::optional<Moment> at) { told.set_value(at); });
            QVERIFY(std::chrono::steady_clock::now() - called < std::chrono::milliseconds(500));
        }
        const Moment last_open = *std::max_element(slow_opens::returned.begin(), slow_opens::returned.end());
        const Moment due = std::max(last_open, fire_at.value_or(last_open));
        std::future<std::optional<Moment>> telling = told.get_future(); // told before the broadcast ended
        QCOMPARE(telling.wait_for(std::chrono::seconds(0)), std::future_status::ready);
        const std::optional<Moment> fired = telling.get();
        QCOMPARE(fired.has_value(), refused < 8);
        QVERIFY(!fired || (*fired >= due && *fired - due < std::chrono::milliseconds(500)));
        QCOMPARE(int(yoyos->received().size()), 8 - refused);
        for (const rig::Received &report : yoyos->received())
            QVERIFY(report.at >= due);
    }

    // Threads readied for eight yo-yos serve a send to eight: it starts none,
    // and they stay for the next.
    void a_warmed_broadcast_starts_no_thread()
    {
        add(yoyo::usb, 8);
        List list(yoyo::usb);
        yoyo::Broadcast broadcast(yoyo::usb);
        broadcast.warm(8);
        QTRY_COMPARE(process_footprint::now().pooled, 8);
        broadcast.send(list.head, yoyo::start_report(5).data());
        QVERIFY(broadcast.wait_for_tasks(5000));
        QCOMPARE(process_footprint::now().pooled, 8);
    }
};

QTEST_GUILESS_MAIN(tst_broadcast)
#include "tst_broadcast.moc"
