// The show player's serial rule on hand-built records (hidraw never yields
// one without a serial), and which discovery lists reach the asking thread.
#include "discovery.h"
#include "hid_library.h"
#include "virtual_yoyos.h"

#include <QtTest>

#include <atomic>
#include <cstdlib>
#include <cwchar>

namespace {

// hidapi's enumerations pass through here (linked with --wrap), each
// waiting up to `hold_ms` for a pass; the first list is watched until freed.
namespace gate {
QSemaphore entered, passes, first_freed;
std::atomic<int> hold_ms{0};
std::atomic<hid_device_info *> first{nullptr};

void reset(int pass_count, int hold)
{
    for (QSemaphore *s : {&entered, &passes, &first_freed})
        s->acquire(s->available());
    passes.release(pass_count);
    hold_ms = hold;
    first = nullptr;
}
} // namespace gate

// "path serial", or "path" alone without a serial, allocated as hidapi does.
hid_device_info *chain(const QStringList &records)
{
    hid_device_info *head = nullptr;
    hid_device_info **link = &head;
    for (const QString &record : records) {
        auto *info = static_cast<hid_device_info *>(std::calloc(1, sizeof(hid_device_info)));
        const QStringList fields = record.split(' ');
        info->path = strdup(fields[0].toUtf8().constData());
        if (fields.size() > 1)
            info->serial_number = wcsdup(fields[1].toStdWString().c_str());
        *link = info;
        link = &info->next;
    }
    return head;
}

} // namespace

extern "C" {
hid_device_info *__real_hid_enumerate(unsigned short vendor_id, unsigned short product_id);
void __real_hid_free_enumeration(hid_device_info *list);

hid_device_info *__wrap_hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    gate::entered.release();
    gate::passes.tryAcquire(1, gate::hold_ms);
    hid_device_info *list = __real_hid_enumerate(vendor_id, product_id), *none = nullptr;
    gate::first.compare_exchange_strong(none, list);
    return list;
}

void __wrap_hid_free_enumeration(hid_device_info *list)
{
    if (list && list == gate::first)
        gate::first_freed.release();
    __real_hid_free_enumeration(list);
}
} // extern "C"

Q_DECLARE_METATYPE(hid_device_info *)

class tst_discovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        yoyo::library_init();
        qRegisterMetaType<hid_device_info *>(); // for the signal spy
    }
    void serial_rule_data()
    {
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QStringList>("listed");

        QTest::addRow("leading zero dropped, later zero and empty serial kept")
            << QStringList{"a 0123", "b 1230", "c A0", "d "} << QStringList{"b", "c", "d"};
        QTest::addRow("head, middle and tail dropped, the tail without serial")
            << QStringList{"a 0", "b 1", "c 0x", "d 2", "e"} << QStringList{"b", "d"};
        QTest::addRow("all dropped") << QStringList{"a 0", "b", "c 00"} << QStringList();
        // One device with several collections: one record, and so one report, each.
        QTest::addRow("records of one device") << QStringList{"a 5", "a 5", "b 0", "a 5"}
                                               << QStringList{"a", "a", "a"};
    }

    void serial_rule()
    {
        QFETCH(QStringList, records);
        QFETCH(QStringList, listed);

        hid_device_info *head = yoyo::drop_unlisted(chain(records));
        QStringList paths;
        for (const hid_device_info *record = head; record; record = record->next)
            paths << QString::fromUtf8(record->path);
        QCOMPARE(paths, listed);
        QCOMPARE(yoyo::count_records(head), listed.size());
        hid_free_enumeration(head);
    }

    void hand_over_data()
    {
        QTest::addColumn<int>("yoyos");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("handed"); // the yo-yos of the one list handed over; -1: stopped, none

        QTest::addRow("one step") << 2 << 1 << 2;
        QTest::addRow("no yo-yo: a null list all the same") << 0 << 1 << 0;
        // A yo-yo comes while the second step waits.
        QTest::addRow("two steps before a list is taken: only the latest") << 1 << 2 << 2;
        QTest::addRow("stopped with a step under way") << 1 << 1 << -1;
    }

    // A list that is never handed over is freed.
    void hand_over()
    {
        QFETCH(int, yoyos);
        QFETCH(int, steps);
        QFETCH(int, handed);
        const bool stopped = handed < 0;
        rig::VirtualYoyos rig;
        for (int i = 0; i < yoyos; ++i)
            rig.add({rig::Transport::usb, std::to_string(i + 1), 1, 1});
        // The last step waits at the gate; a stopped one ends by itself
        // after stop() has begun to wait for it.
        gate::reset(steps - 1, stopped ? 300 : 10000);

        yoyo::Discovery discovery(yoyo::usb);
        QSignalSpy found(&discovery, &yoyo::Discovery::found);
        for (int step = 0; step < steps; ++step)
            discovery.start();
        QVERIFY(gate::entered.tryAcquire(steps, 10000));
        if (stopped) {
            discovery.stop();
            QTRY_VERIFY(found.count() > 0 || gate::first_freed.available() > 0);
        } else {
            if (steps > 1)
                rig.add({rig::Transport::usb, "9", 1, 1});
            gate::passes.release();
            // A step frees the list it supersedes before it hands its own over.
            if (steps > 1)
                gate::first_freed.tryAcquire(1, 10000);
            QTRY_COMPARE(found.count(), 1);
        }
        QCoreApplication::processEvents();
        QCOMPARE(found.count(), stopped ? 0 : 1);
        if (!stopped) {
            auto *list = found[0][0].value<hid_device_info *>();
            QCOMPARE(yoyo::count_records(list), handed);
            hid_free_enumeration(list);
        }
    }
};

QTEST_GUILESS_MAIN(tst_discovery)
#include "tst_discovery.moc"
