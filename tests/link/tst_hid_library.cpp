// hidapi replaces its one error string at every failed open, unlocked:
// opens failing on several threads while this one enumerates.
#include "broadcast.h"
#include "discovery.h"
#include "hid_library.h"
#include "virtual_yoyos.h"

#include <QtTest>

class tst_hid_library : public QObject
{
    Q_OBJECT

private slots:
    void failing_opens_on_many_threads_while_enumerating()
    {
        yoyo::library_init();
        rig::VirtualYoyos yoyos;
        // Every refused open costs the emulation one of its fifty slots for
        // good (umockdev keeps a record of a failed open), so they are few.
        const int count = 12, rounds = 12;
        const auto refused = [](int yoyo) { return yoyo % 4 == 1; };
        for (int i = 0; i < count; ++i) {
            yoyos.add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
            yoyos.refuse_open(i, refused(i));
        }
        yoyo::Broadcast broadcast(yoyo::bluetooth);
        for (int round = 0; round < rounds; ++round) {
            hid_device_info *list = yoyo::enumerate(yoyo::bluetooth.vendor_id, yoyo::bluetooth.product_id);
            QCOMPARE(yoyo::count_records(list), count);
            broadcast.send(list, yoyo::stop_report().data());
            hid_free_enumeration(list);
        }
        QVERIFY(broadcast.wait_for_tasks(60000));
        for (int i = 0; i < count; ++i)
            QCOMPARE(yoyos.received(i).size(), std::size_t(refused(i) ? 0 : rounds));
        yoyo::library_exit();
    }
};

QTEST_GUILESS_MAIN(tst_hid_library)
#include "tst_hid_library.moc"
