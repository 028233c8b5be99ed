#include "command_report.h"

#include <QtTest>

namespace {

QByteArray wire(const std::vector<std::uint8_t> &report)
{
    return QByteArray(reinterpret_cast<const char *>(report.data()), int(report.size()));
}

QByteArray start(const yoyo::Transport &transport, int seconds)
{
    return wire(yoyo::framed(transport, yoyo::start_report(seconds).data()));
}

QByteArray colour(int red, int green, int blue)
{
    return wire(yoyo::colour_report(red / 255.0, green / 255.0, blue / 255.0));
}

} // namespace

class tst_command_report : public QObject
{
    Q_OBJECT

private slots:
    // What hid_write gets for each command, one row per transport.
    void on_the_wire_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<QByteArray>("hex"); // then zeros to the transport's length
        QTest::addColumn<int>("length");

        const QByteArray usb_stop = wire(yoyo::framed(yoyo::usb, yoyo::stop_report().data()));
        const QByteArray ble_stop = wire(yoyo::framed(yoyo::bluetooth, yoyo::stop_report().data()));
        QTest::addRow("usb start 5 s") << start(yoyo::usb, 5) << QByteArray("0002F0000000") << 65;
        QTest::addRow("ble start 1200 s") << start(yoyo::bluetooth, 1200) << QByteArray("00000204190100") << 66;
        // Text that is no number reaches the report as 0: the count is -60.
        QTest::addRow("usb start 0 s") << start(yoyo::usb, 0) << QByteArray("0002C4FFFFFF") << 65;
        QTest::addRow("usb stop") << usb_stop << QByteArray("0003") << 65;
        QTest::addRow("ble stop") << ble_stop << QByteArray("000003") << 66;
        QTest::addRow("colour #FF0C4D") << colour(255, 12, 77)
                                        << QByteArray("000099" "0000803F" "C1C0403D" "9B9A9A3E") << 66;
        QTest::addRow("colour black") << colour(0, 0, 0) << QByteArray("000099") << 66;
    }

    void on_the_wire()
    {
        QFETCH(QByteArray, report);
        QFETCH(QByteArray, hex);
        QFETCH(int, length);
        const QByteArray head = QByteArray::fromHex(hex);
        QCOMPARE(report, head + QByteArray(length - head.size(), '\0'));
    }
};

QTEST_APPLESS_MAIN(tst_command_report)
#include "tst_command_report.moc"
