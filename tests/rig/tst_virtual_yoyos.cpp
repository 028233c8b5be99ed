// The rig seen through the real hidapi, as the programs see it.
#include "virtual_yoyos.h"

#include <hidapi.h>

#include <fcntl.h>

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>

namespace {

struct Record {
    QString path;
    QString serial;
    bool has_serial;
};

QList<Record> enumerate(unsigned short vendor)
{
    QList<Record> records;
    hid_device_info *list = hid_enumerate(vendor, 0x0100);
    for (const hid_device_info *d = list; d; d = d->next)
        records.append({QString::fromUtf8(d->path),
                        d->serial_number ? QString::fromWCharArray(d->serial_number) : QString(),
                        d->serial_number != nullptr});
    hid_free_enumeration(list);
    return records;
}

std::vector<std::uint8_t> pattern(std::size_t length, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    bytes[0] = 0; // report ID
    return bytes;
}

using Device = std::unique_ptr<hid_device, decltype(&hid_close)>;

Device open(const std::string &node)
{
    return Device(hid_open_path(node.c_str()), &hid_close);
}

constexpr unsigned short usb_vendor = 0x2680;
constexpr unsigned short ble_vendor = 0x0268;

} // namespace

class tst_virtual_yoyos : public QObject
{
    Q_OBJECT

    std::unique_ptr<rig::VirtualYoyos> yoyos;

private slots:
    void init()
    {
        yoyos = std::make_unique<rig::VirtualYoyos>();
    }

    void cleanup()
    {
        yoyos.reset();
    }

    void enumerates_each_yoyo_with_its_serial()
    {
        yoyos->add({rig::Transport::usb, "1001", 1, 1});
        yoyos->add({rig::Transport::usb, "", 1, 1});
        yoyos->add({rig::Transport::bluetooth, "B-7", -1, 1});
        yoyos->add({rig::Transport::usb, "0abc", 1, 1});

        const QList<Record> usb = enumerate(usb_vendor);
        QCOMPARE(usb.size(), 3);
        QCOMPARE(usb[0].serial, QString("1001"));
        QVERIFY(usb[1].has_serial);
        QCOMPARE(usb[1].serial, QString(""));
        QCOMPARE(usb[2].serial, QString("0abc"));
        QCOMPARE(usb[0].path.toStdString(), yoyos->device_node(0));

        const QList<Record> ble = enumerate(ble_vendor);
        QCOMPARE(ble.size(), 1);
        QCOMPARE(ble[0].serial, QString("B-7"));
        QCOMPARE(ble[0].path.toStdString(), yoyos->device_node(2));
        QVERIFY(enumerate(0x1234).isEmpty());
    }

    void lists_one_record_per_top_level_usage()
    {
        yoyos->add({rig::Transport::usb, "1", 1, 3});
        const QList<Record> records = enumerate(usb_vendor);
        QCOMPARE(records.size(), 3);
        for (const Record &record : records)
            QCOMPARE(record.path.toStdString(), yoyos->device_node(0));
    }

    void written_bytes_arrive_intact_in_order()
    {
        const int usb = yoyos->add({rig::Transport::usb, "1", -1, 1});
        const int ble = yoyos->add({rig::Transport::bluetooth, "2", -1, 1});
        Device u = open(yoyos->device_node(usb));
        Device b = open(yoyos->device_node(ble));
        QVERIFY(u && b);
        const auto first = pattern(65, 3), second = pattern(65, 11), third = pattern(66, 5);
        QCOMPARE(hid_write(u.get(), first.data(), first.size()), 65);
        QCOMPARE(hid_write(u.get(), second.data(), second.size()), 65);
        QCOMPARE(hid_write(b.get(), third.data(), third.size()), 66);

        const std::vector<rig::Received> at_usb = yoyos->received(usb);
        QCOMPARE(at_usb.size(), std::size_t(2));
        QVERIFY(at_usb[0].bytes == first);
        QVERIFY(at_usb[1].bytes == second);
        QVERIFY(at_usb[0].at <= at_usb[1].at);
        QCOMPARE(at_usb[1].yoyo, usb);
        QCOMPARE(yoyos->received(ble).size(), std::size_t(1));
        QVERIFY(yoyos->received(ble)[0].bytes == third);
        QCOMPARE(yoyos->received().size(), std::size_t(3));
    }

    void usb_yoyo_answers_after_its_delay()
    {
        const int quick = yoyos->add({rig::Transport::usb, "1", 1, 1});
        const int slow = yoyos->add({rig::Transport::usb, "2", 300, 1});
        for (int yoyo : {quick, slow}) {
            Device device = open(yoyos->device_node(yoyo));
            const auto report = pattern(65, 1);
            QCOMPARE(hid_write(device.get(), report.data(), report.size()), 65);
            std::uint8_t answer[65];
            QElapsedTimer clock;
            clock.start();
            QVERIFY(hid_read_timeout(device.get(), answer, sizeof answer, 5000) > 0);
            if (yoyo == slow)
                QVERIFY(clock.elapsed() >= 250);
            else
                QVERIFY(clock.elapsed() < 2500);
        }
    }

    void silent_and_bluetooth_yoyos_never_answer()
    {
        const int silent = yoyos->add({rig::Transport::usb, "1", -1, 1});
        const int ble = yoyos->add({rig::Transport::bluetooth, "2", 1, 1});
        for (int yoyo : {silent, ble}) {
            Device device = open(yoyos->device_node(yoyo));
            const auto report = pattern(yoyo == ble ? 66 : 65, 1);
            QVERIFY(hid_write(device.get(), report.data(), report.size()) > 0);
            std::uint8_t answer[66];
            QCOMPARE(hid_read_timeout(device.get(), answer, sizeof answer, 200), 0);
        }
    }

    // A real hidraw reader only sees reports that arrive while it has the
    // device open; an answer that comes when nobody has the node open must
    // not reach the next opener.
    void late_answer_is_not_kept_for_the_next_open()
    {
        const int yoyo = yoyos->add({rig::Transport::usb, "1", 100, 1});
        const auto report = pattern(65, 1);
        std::uint8_t answer[65];
        {
            Device device = open(yoyos->device_node(yoyo));
            QVERIFY(hid_write(device.get(), report.data(), report.size()) > 0);
            QCOMPARE(hid_read_timeout(device.get(), answer, sizeof answer, 20), 0);
        }
        QTest::qWait(300); // the answer comes and finds the node closed
        Device again = open(yoyos->device_node(yoyo));
        QCOMPARE(hid_read_timeout(again.get(), answer, sizeof answer, 300), 0);
    }

    // hidapi lists a device with several collections once per collection, so
    // one node can be open several times at once; every reader gets an answer.
    void every_handle_on_a_shared_node_gets_an_answer()
    {
        const int yoyo = yoyos->add({rig::Transport::usb, "1", 1, 3});
        const std::string node = yoyos->device_node(yoyo);
        std::vector<std::thread> readers;
        std::atomic<int> answered{0};
        for (int i = 0; i < 3; ++i) {
            readers.emplace_back([&, i] {
                Device device(hid_open_path(node.c_str()), &hid_close);
                const auto report = pattern(65, std::uint8_t(i));
                hid_write(device.get(), report.data(), report.size());
                std::uint8_t answer[65];
                if (hid_read_timeout(device.get(), answer, sizeof answer, 3000) > 0)
                    ++answered;
            });
        }
        for (std::thread &reader : readers)
            reader.join();
        QCOMPARE(answered.load(), 3);
        QCOMPARE(yoyos->received(yoyo).size(), std::size_t(3));
    }

    void refused_open_fails_until_allowed_again()
    {
        const int yoyo = yoyos->add({rig::Transport::usb, "1", 1, 1});
        yoyos->refuse_open(yoyo, true);
        QVERIFY(!open(yoyos->device_node(yoyo)));
        QCOMPARE(enumerate(usb_vendor).size(), 1); // still listed
        yoyos->refuse_open(yoyo, false);
        QVERIFY(open(yoyos->device_node(yoyo)));
    }

    // Nodes without permission: open() itself fails, for yo-yos present and
    // for those plugged in while access is denied, and nothing else changes.
    void denied_access_fails_every_open_until_granted()
    {
        const int present = yoyos->add({rig::Transport::usb, "1", 1, 1});
        yoyos->deny_access(true);
        const int later = yoyos->add({rig::Transport::bluetooth, "2", -1, 1});
        for (int yoyo : {present, later}) {
            errno = 0;
            QCOMPARE(::open(yoyos->device_node(yoyo).c_str(), O_RDWR), -1);
            QCOMPARE(errno, EACCES);
            QVERIFY(!open(yoyos->device_node(yoyo)));
        }
        QCOMPARE(enumerate(usb_vendor).size(), 1);
        QCOMPARE(enumerate(ble_vendor).size(), 1);

        yoyos->deny_access(false);
        const auto report = pattern(66, 3);
        for (int yoyo : {present, later}) {
            Device device = open(yoyos->device_node(yoyo));
            QVERIFY(device);
            QVERIFY(hid_write(device.get(), report.data(), 65) > 0);
        }
        QVERIFY(yoyos->wait_for_reports(present, 1, 1000));
        QVERIFY(yoyos->wait_for_reports(later, 1, 1000));
    }

    void failing_writes_report_an_error_and_record_nothing()
    {
        const int yoyo = yoyos->add({rig::Transport::bluetooth, "1", -1, 1});
        Device device = open(yoyos->device_node(yoyo));
        const auto report = pattern(66, 1);
        yoyos->fail_writes(yoyo, EIO);
        QCOMPARE(hid_write(device.get(), report.data(), report.size()), -1);
        QVERIFY(yoyos->received(yoyo).empty());
        yoyos->fail_writes(yoyo, 0);
        QCOMPARE(hid_write(device.get(), report.data(), report.size()), 66);
        QCOMPARE(yoyos->received(yoyo).size(), std::size_t(1));
    }

    void unplug_during_a_write_fails_it_and_removes_the_yoyo()
    {
        const int yoyo = yoyos->add({rig::Transport::usb, "1", 1, 1});
        yoyos->add({rig::Transport::usb, "2", 1, 1});
        Device device = open(yoyos->device_node(yoyo));
        yoyos->unplug_during_next_write(yoyo);
        const auto report = pattern(65, 1);
        QCOMPARE(hid_write(device.get(), report.data(), report.size()), -1);
        QVERIFY(yoyos->received(yoyo).empty());
        const QList<Record> left = enumerate(usb_vendor);
        QCOMPARE(left.size(), 1);
        QCOMPARE(left[0].serial, QString("2"));
    }

    void unplug_and_replug_are_seen_by_the_next_enumeration()
    {
        const int yoyo = yoyos->add({rig::Transport::usb, "1", 1, 1});
        yoyos->add({rig::Transport::usb, "2", 1, 1});
        const std::string before = yoyos->device_node(yoyo);
        Device held = open(before);
        QVERIFY(held);

        yoyos->unplug(yoyo);
        QCOMPARE(enumerate(usb_vendor).size(), 1);
        QVERIFY(!open(before));
        // A handle opened before the unplug still reaches the yo-yo.
        const auto report = pattern(65, 9);
        QCOMPARE(hid_write(held.get(), report.data(), report.size()), 65);
        QCOMPARE(yoyos->received(yoyo).size(), std::size_t(1));

        yoyos->plug(yoyo);
        const QList<Record> records = enumerate(usb_vendor);
        QCOMPARE(records.size(), 2);
        const std::string after = yoyos->device_node(yoyo);
        QVERIFY(after != before);
        Device fresh = open(after);
        QVERIFY(fresh);
        QCOMPARE(hid_write(fresh.get(), report.data(), report.size()), 65);
        QVERIFY(yoyos->wait_for_reports(yoyo, 2, 1000));
    }

    void waits_for_reports_from_another_thread()
    {
        const int yoyo = yoyos->add({rig::Transport::bluetooth, "1", -1, 1});
        const std::string node = yoyos->device_node(yoyo);
        QVERIFY(!yoyos->wait_for_reports(yoyo, 1, 50));
        std::thread writer([node] {
            Device device(hid_open_path(node.c_str()), &hid_close);
            const auto report = pattern(66, 1);
            hid_write(device.get(), report.data(), report.size());
        });
        QVERIFY(yoyos->wait_for_reports(yoyo, 1, 5000));
        writer.join();
    }
};

QTEST_GUILESS_MAIN(tst_virtual_yoyos)
#include "tst_virtual_yoyos.moc"
