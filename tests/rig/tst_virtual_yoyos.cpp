// The rig through the real hidapi: its fault switches and how it decodes
// what a yo-yo received.
#include "virtual_yoyos.h"

#include <hidapi.h>

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <thread>

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

constexpr unsigned short usb_vendor = 0x2680, ble_vendor = 0x0268;

QStringList serials(unsigned short vendor)
{
    QStringList found;
    hid_device_info *list = hid_enumerate(vendor, 0x0100);
    for (const hid_device_info *d = list; d; d = d->next)
        found << QString::fromWCharArray(d->serial_number);
    hid_free_enumeration(list);
    return found;
}

using Device = std::unique_ptr<hid_device, decltype(&hid_close)>;
Device open(const std::string &node) { return Device(hid_open_path(node.c_str()), &hid_close); }

Bytes bytes(const char *hex, std::size_t length)
{
    const QByteArray head = QByteArray::fromHex(hex);
    Bytes all(length, 0);
    std::copy(head.begin(), head.end(), all.begin());
    return all;
}

} // namespace

class tst_virtual_yoyos : public QObject
{
    Q_OBJECT

private slots:
    void fault_switches_data()
    {
        QTest::addColumn<bool>("ble");
        QTest::addColumn<int>("answer_after");
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("listed"); // records enumerated after the write
        QTest::addColumn<QString>("outcome");

        QTest::addRow("usb answers late") << false << 300 << 1 << "" << 1 << "opens writes answers";
        QTest::addRow("usb silent") << false << -1 << 1 << "" << 1 << "opens writes";
        QTest::addRow("bluetooth never answers") << true << 1 << 1 << "" << 1 << "opens writes";
        QTest::addRow("three records") << false << 1 << 3 << "" << 3 << "opens writes answers";
        QTest::addRow("refuse_open") << false << 1 << 1 << "refuse_open" << 1 << "";
        QTest::addRow("deny_access") << true << 1 << 1 << "deny_access" << 1 << "";
        QTest::addRow("deny_access, plugged later") << true << 1 << 1 << "deny_later" << 1 << "";
        QTest::addRow("fail_writes") << true << 1 << 1 << "fail_writes" << 1 << "opens";
        QTest::addRow("unplug_during_next_write") << false << 1 << 1 << "unplug_during_write" << 0 << "opens";
        QTest::addRow("unplugged") << false << 1 << 1 << "unplug" << 0 << "";
        QTest::addRow("replugged") << false << 1 << 1 << "replug" << 1 << "opens writes answers";
    }

    // One yo-yo beside a sound one; whatever a switch breaks, undoing it lets
    // the next write through.
    void fault_switches()
    {
        QFETCH(bool, ble);
        QFETCH(int, answer_after);
        QFETCH(int, records);
        QFETCH(QString, fault);
        QFETCH(int, listed);
        QFETCH(QString, outcome);
        const bool written = outcome.contains("writes"), answered = outcome.contains("answers");

        rig::VirtualYoyos yoyos;
        const auto transport = ble ? rig::Transport::bluetooth : rig::Transport::usb;
        const unsigned short vendor = ble ? ble_vendor : usb_vendor;
        const std::size_t length = ble ? 66 : 65;
        if (fault == "deny_later")
            yoyos.deny_access(true);
        const int yoyo = yoyos.add({transport, "A0", answer_after, records});
        const int sound = yoyos.add({ble ? rig::Transport::usb : rig::Transport::bluetooth, "1", 1, 1});
        const std::string node = yoyos.device_node(yoyo);
        if (fault == "refuse_open")
            yoyos.refuse_open(yoyo, true);
        if (fault == "deny_access")
            yoyos.deny_access(true);
        if (fault == "unplug" || fault == "replug")
            yoyos.unplug(yoyo);
        if (fault == "replug") {
            yoyos.plug(yoyo);
            QVERIFY(yoyos.device_node(yoyo) != node);
        }

        Device device = open(yoyos.device_node(yoyo));
        QCOMPARE(bool(device), outcome.contains("opens"));
        if (fault == "fail_writes")
            yoyos.fail_writes(yoyo, EIO);
        if (fault == "unplug_during_write")
            yoyos.unplug_during_next_write(yoyo);
        const Bytes report = bytes(ble ? "0000027B" : "0003", length);
        if (device) {
            QCOMPARE(hid_write(device.get(), report.data(), length) >= 0, written);
            std::uint8_t answer[66];
            QElapsedTimer clock;
            clock.start();
            const int read = written ? hid_read_timeout(device.get(), answer, sizeof answer, 1000) : 0;
            QCOMPARE(read > 0, answered);
            if (answered)
                QVERIFY(clock.elapsed() >= answer_after - 50);
        }
        QCOMPARE(yoyos.received(yoyo).size(), std::size_t(written));
        if (written)
            QVERIFY(yoyos.received(yoyo)[0].bytes == report);
        QCOMPARE(serials(vendor), QVector<QString>(listed, "A0").toList());
        QVERIFY(yoyos.received(sound).empty());

        yoyos.refuse_open(yoyo, false);
        yoyos.deny_access(false);
        yoyos.fail_writes(yoyo, 0);
        if (fault.startsWith("unplug"))
            yoyos.plug(yoyo);
        device = open(yoyos.device_node(yoyo));
        QVERIFY(device);
        QCOMPARE(hid_write(device.get(), report.data(), length), int(length));
        QVERIFY(yoyos.wait_for_reports(yoyo, std::size_t(written) + 1, 1000));
    }

    // hidapi lists a device once per collection, so one node can be open
    // several times at once.
    void every_handle_on_a_shared_node_gets_an_answer()
    {
        rig::VirtualYoyos yoyos;
        const int yoyo = yoyos.add({rig::Transport::usb, "1", 1, 3});
        const std::string node = yoyos.device_node(yoyo);
        std::vector<std::thread> writers;
        std::atomic<int> answered{0};
        for (const char *command : {"41", "42", "43"}) {
            writers.emplace_back([&, command] {
                Device device = open(node);
                for (const QByteArray &hex : {"00" + QByteArray(command), "0001" + QByteArray(command)}) {
                    const Bytes report = bytes(hex.constData(), 65);
                    hid_write(device.get(), report.data(), report.size());
                    std::uint8_t answer[65];
                    answered += hid_read_timeout(device.get(), answer, sizeof answer, 3000) > 0;
                }
            });
        }
        QVERIFY(yoyos.wait_for_reports(yoyo, 6, 5000));
        for (std::thread &writer : writers)
            writer.join();
        QCOMPARE(answered.load(), 6);
        QStringList seen;
        for (const rig::Received &received : yoyos.received(yoyo))
            seen << QString::fromStdString(rig::describe(received.bytes)).left(8);
        for (const char *command : {"41", "42", "43"}) {
            const int first = seen.indexOf(QString("00 %1 00").arg(command));
            QVERIFY(first >= 0 && first < seen.indexOf(QString("00 01 ") + command));
        }
    }

    // As on hidraw, an answer that finds the node closed is lost.
    void late_answer_is_not_kept_for_the_next_open()
    {
        rig::VirtualYoyos yoyos;
        const int yoyo = yoyos.add({rig::Transport::usb, "1", 100, 1});
        const Bytes report = bytes("0003", 65);
        std::uint8_t answer[65];
        hid_write(open(yoyos.device_node(yoyo)).get(), report.data(), report.size());
        QTest::qWait(300); // nothing to wait for: the answer comes and finds the node closed
        Device again = open(yoyos.device_node(yoyo));
        QCOMPARE(hid_read_timeout(again.get(), answer, sizeof answer, 300), 0);
    }

    // Stops and colours are read in every test that sends them.
    void describe_data()
    {
        QTest::addColumn<Bytes>("report");
        QTest::addColumn<QString>("line");
        QTest::addRow("ble start 1200 s") << bytes("00000204190100", 66) << "start 71940";
        QTest::addRow("stray byte after stop") << bytes("00030007", 65) << "00 03 00 07" + QString(" 00").repeated(61);
        QTest::addRow("short report") << Bytes{0x00, 0x03, 0xAB} << "00 03 AB";
    }

    void describe()
    {
        QFETCH(Bytes, report);
        QFETCH(QString, line);
        QCOMPARE(QString::fromStdString(rig::describe(report)), line);
    }
};

QTEST_GUILESS_MAIN(tst_virtual_yoyos)
#include "tst_virtual_yoyos.moc"
