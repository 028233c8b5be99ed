// Broadcasts against virtual yo-yos through the real hidapi.
#include "broadcast.h"
#include "discovery.h"
#include "hid_library.h"
#include "virtual_yoyos.h"

#include <QElapsedTimer>
#include <QThreadPool>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(yoyo::Transport)

namespace {

rig::Transport rig_kind(const yoyo::Transport &transport)
{
    return transport.reads_answer ? rig::Transport::usb : rig::Transport::bluetooth;
}

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

    void add_transport_rows()
    {
        QTest::addColumn<yoyo::Transport>("transport");
        QTest::newRow("usb") << yoyo::usb;
        QTest::newRow("bluetooth") << yoyo::bluetooth;
    }

private slots:
    void initTestCase()
    {
        yoyo::library_init();
    }

    void init()
    {
        yoyos = std::make_unique<rig::VirtualYoyos>();
    }

    void cleanup()
    {
        // Nothing may run against the rig once it is gone.
        QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
        yoyos.reset();
    }

    void each_listed_yoyo_gets_exactly_one_report_data() { add_transport_rows(); }
    void each_listed_yoyo_gets_exactly_one_report()
    {
        QFETCH(yoyo::Transport, transport);
        add(transport, 3);
        yoyos->add({rig_kind(transport), "0-not-a-show-yoyo", 1, 1});
        List list(transport);
        QCOMPARE(yoyo::count_records(list.head), 3);

        yoyo::Broadcast broadcast(transport);
        const yoyo::UsbReport start = yoyo::start_report(5);
        broadcast.send(list.head, start.data());
        QVERIFY(broadcast.wait_for_tasks(10000));

        const std::vector<std::uint8_t> wire = yoyo::framed(transport, start.data());
        for (int i = 0; i < 3; ++i) {
            const std::vector<rig::Received> got = yoyos->received(i);
            QCOMPARE(got.size(), std::size_t(1));
            QVERIFY(got[0].bytes == wire);
        }
        QVERIFY(yoyos->received(3).empty());
    }

    void a_yoyo_listed_twice_gets_two_reports()
    {
        yoyos->add({rig::Transport::usb, "1", 1, 2});
        List list(yoyo::usb);
        QCOMPARE(yoyo::count_records(list.head), 2);
        yoyo::Broadcast broadcast(yoyo::usb);
        broadcast.send(list.head, yoyo::stop_report().data());
        QVERIFY(broadcast.wait_for_tasks(10000));
        QCOMPARE(yoyos->received(0).size(), std::size_t(2));
    }

    void an_empty_list_writes_nothing()
    {
        yoyo::Broadcast broadcast(yoyo::usb);
        broadcast.send(nullptr, yoyo::stop_report().data());
        QVERIFY(broadcast.wait_for_tasks(0));
        QVERIFY(yoyos->received().empty());
    }

    void unplugged_yoyo_is_skipped_the_others_still_served_data() { add_transport_rows(); }
    void unplugged_yoyo_is_skipped_the_others_still_served()
    {
        QFETCH(yoyo::Transport, transport);
        add(transport, 3);
        List list(transport);
        yoyos->unplug(1);

        yoyo::Broadcast broadcast(transport);
        broadcast.send(list.head, yoyo::stop_report().data());
        QVERIFY(broadcast.wait_for_tasks(10000));
        QCOMPARE(yoyos->received(0).size(), std::size_t(1));
        QVERIFY(yoyos->received(1).empty());
        QCOMPARE(yoyos->received(2).size(), std::size_t(1));
    }

    void failing_write_does_not_stop_the_others()
    {
        add(yoyo::usb, 3);
        yoyos->fail_writes(0, EIO);
        yoyos->unplug_during_next_write(1);
        List list(yoyo::usb);
        yoyo::Broadcast broadcast(yoyo::usb);
        broadcast.send(list.head, yoyo::stop_report().data());
        QVERIFY(broadcast.wait_for_tasks(10000));
        QVERIFY(yoyos->received(0).empty());
        QVERIFY(yoyos->received(1).empty());
        QCOMPARE(yoyos->received(2).size(), std::size_t(1));
    }

    // The tasks own copies of the path and the report: the caller's buffer and
    // the list may be gone before any task runs.
    void caller_buffer_and_list_may_go_at_once()
    {
        add(yoyo::usb, 4, -1); // silent, so the tasks are still running below
        yoyo::Broadcast broadcast(yoyo::usb);
        {
            List list(yoyo::usb);
            yoyo::UsbReport buffer = yoyo::start_report(10);
            broadcast.send(list.head, buffer.data());
            buffer.fill(0xFF);
        }
        List replaced(yoyo::usb); // a discovery step while the tasks run
        QVERIFY(broadcast.wait_for_tasks(15000));
        const std::vector<std::uint8_t> wire = yoyo::framed(yoyo::usb, yoyo::start_report(10).data());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(yoyos->received(i).size(), std::size_t(1));
            QVERIFY(yoyos->received(i)[0].bytes == wire);
        }
    }

    void a_silent_usb_yoyo_holds_only_its_own_task()
    {
        yoyos->add({rig::Transport::usb, "1", -1, 1}); // never answers
        yoyos->add({rig::Transport::usb, "2", 1, 1});
        List list(yoyo::usb);
        yoyo::Broadcast broadcast(yoyo::usb);
        broadcast.send(list.head, yoyo::stop_report().data());

        QVERIFY(yoyos->wait_for_reports(1, 1, 5000));
        QVERIFY(yoyos->wait_for_reports(0, 1, 5000));
        // The silent yo-yo's task waits out the answer time-out...
        QVERIFY(!broadcast.wait_for_tasks(200));
        // ...and then ends.
        QVERIFY(broadcast.wait_for_tasks(10000));
    }

    void bluetooth_tasks_never_wait_for_an_answer()
    {
        add(yoyo::bluetooth, 4);
        List list(yoyo::bluetooth);
        yoyo::Broadcast broadcast(yoyo::bluetooth);
        broadcast.send(list.head, yoyo::stop_report().data());
        // Well under the USB answer time-out, had any task waited for one.
        QVERIFY(broadcast.wait_for_tasks(yoyo::answer_timeout_ms - 100));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(yoyos->received(i).size(), std::size_t(1));
    }

    void the_caller_never_waits_for_a_device()
    {
        add(yoyo::usb, 8, -1);
        List list(yoyo::usb);
        yoyo::Broadcast broadcast(yoyo::usb);
        QElapsedTimer clock;
        clock.start();
        broadcast.send(list.head, yoyo::start_report(5).data());
        // Generous: eight silent yo-yos would hold a waiting caller for seconds.
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(broadcast.wait_for_tasks(30000));
    }

    // hidapi's error string is shared by every open, close and enumeration in
    // the process; many tasks opening and closing while the caller enumerates
    // must not corrupt it.
    void concurrent_broadcasts_and_discovery_stay_sound()
    {
        add(yoyo::bluetooth, 24);
        yoyo::Broadcast broadcast(yoyo::bluetooth);
        const int rounds = 15;
        for (int round = 0; round < rounds; ++round) {
            List list(yoyo::bluetooth);
            QCOMPARE(yoyo::count_records(list.head), 24);
            broadcast.send(list.head, yoyo::start_report(5 + round).data());
        }
        for (int i = 0; i < 10; ++i)
            List again(yoyo::bluetooth);
        QVERIFY(broadcast.wait_for_tasks(60000));
        for (int i = 0; i < 24; ++i)
            QCOMPARE(yoyos->received(i).size(), std::size_t(rounds));
    }
};

QTEST_GUILESS_MAIN(tst_broadcast)
#include "tst_broadcast.moc"
