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
#include <memory>
#include <optional>
#include <vector>

Q_DECLARE_METATYPE(yoyo::Transport)
Q_DECLARE_METATYPE(yoyo::Broadcast::Backlog)

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
    // yo-yo until its answer, and 48 answering yo-yos pass only if the
    // stop's opens wait for the start's handles to close.)
    void reports_to_one_yoyo_keep_their_order_data()
    {
        QTest::addColumn<yoyo::Transport>("transport");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("answer_after_ms");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<int>("within_ms");
        QTest::addRow("none") << yoyo::usb << 0 << 1 << 1 << 0;
        QTest::addRow("usb, answering slowly") << yoyo::usb << 8 << 300 << 2 << 30000;
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
        yoyo::Broadcast broadcast(transport);
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
    }

    // Reports sent while the yo-yo is still being written the first one.
    void reports_waiting_for_a_yoyo_data()
    {
        QTest::addColumn<yoyo::Broadcast::Backlog>("backlog");
        QTest::addColumn<QStringList>("seen");
        QTest::addRow("every report") << yoyo::Broadcast::Backlog::every_report
                                      << QStringList{"start 240", "start 300", "start 360", "start 420"};
        QTest::addRow("newest only") << yoyo::Broadcast::Backlog::newest_only
                                     << QStringList{"start 240", "start 420"};
    }
    void reports_waiting_for_a_yoyo()
    {
        QFETCH(yoyo::Broadcast::Backlog, backlog);
        QFETCH(QStringList, seen);
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
        yoyo::Broadcast broadcast(yoyo::bluetooth, backlog);
        broadcast.send(list.head, yoyo::start_report(5).data());
        QCOMPARE(writing.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
        for (int delay = 6; delay <= 8; ++delay)
            broadcast.send(list.head, yoyo::start_report(delay).data());
        gate.set_value();
        QVERIFY(broadcast.wait_for_tasks(10000));
        QCOMPARE(described(*yoyos, 0), seen);
    }

    // Answering yo-yos beside silent ones have theirs at once.
    // Every yo-yo is opened before any is written; the writes are released
    // together, at the moment asked for when there is one, and the caller is
    // told when they went out, or that none could.
    void writes_wait_for_the_last_open_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("refused");
        QTest::addColumn<int>("fire_in_ms");
        QTest::addRow("8") << 8 << 0 << -1;
        QTest::addRow("8, 3 refused") << 8 << 3 << -1;
        QTest::addRow("8, at a moment") << 8 << 0 << 300;
        QTest::addRow("4, all refused") << 4 << 4 << -1;
    }
    void writes_wait_for_the_last_open()
    {
        QFETCH(int, count);
        QFETCH(int, refused);
        QFETCH(int, fire_in_ms);
        add(yoyo::usb, count);
        for (int i = 0; i < refused; ++i)
            yoyos->refuse_open(i, true);
        List list(yoyo::usb);
        slow_opens::set(3);
        std::optional<Moment> fire_at;
        if (fire_in_ms >= 0)
            fire_at = std::chrono::steady_clock::now() + std::chrono::milliseconds(fire_in_ms);
        std::promise<std::optional<Moment>> told;
        {
            yoyo::Broadcast broadcast(yoyo::usb);
            broadcast.send(list.head, yoyo::start_report(5).data(), fire_at,
                           [&told](std::optional<Moment> at) { told.set_value(at); });
        }
        const std::vector<Moment> opens = slow_opens::returned();
        slow_opens::set(0);
        const std::vector<rig::Received> arrived = yoyos->received();
        QCOMPARE(int(arrived.size()), count - refused);
        std::future<std::optional<Moment>> telling = told.get_future();
        QCOMPARE(telling.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        const std::optional<Moment> fired = telling.get();
        QCOMPARE(fired.has_value(), count > refused);
        if (!fired)
            return;
        QCOMPARE(int(opens.size()), count);
        const Moment last_open = *std::max_element(opens.begin(), opens.end());
        for (const rig::Received &report : arrived) {
            QVERIFY(report.at >= last_open);
            QVERIFY(!fire_at || report.at >= *fire_at);
        }
        QVERIFY(*fired >= last_open);
        QVERIFY(!fire_at || *fired >= *fire_at);
        QVERIFY(*fired - last_open < std::chrono::milliseconds(fire_in_ms + 500));
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

    void silent_yoyos_hold_only_themselves()
    {
        const yoyo::Transport &transport = yoyo::usb;
        add(transport, 16, silent);
        add(transport, 16);
        List list(transport);
        yoyo::Broadcast broadcast(transport);

        const auto called = std::chrono::steady_clock::now();
        broadcast.send(list.head, yoyo::start_report(5).data());
        QVERIFY(std::chrono::steady_clock::now() - called < std::chrono::milliseconds(500));
        for (int i = 16; i < 32; ++i) {
            QVERIFY(yoyos->wait_for_reports(i, 1, 5000));
            QVERIFY(yoyos->received(i)[0].at - called < std::chrono::milliseconds(yoyo::answer_timeout_ms));
        }
        QVERIFY(!broadcast.wait_for_tasks(200)); // the order test times the silent ones' end
    }
};

QTEST_GUILESS_MAIN(tst_broadcast)
#include "tst_broadcast.moc"
