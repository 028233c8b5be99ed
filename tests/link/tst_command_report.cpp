#include "command_report.h"

#include <QtTest>

namespace {

QByteArray bytes(const std::uint8_t *data, std::size_t length)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(length));
}

QByteArray expected(const char *hex_head, int length)
{
    QByteArray head = QByteArray::fromHex(hex_head);
    return head + QByteArray(length - head.size(), '\0');
}

} // namespace

class tst_command_report : public QObject
{
    Q_OBJECT

private slots:
    void start_and_stop_on_the_wire_data()
    {
        QTest::addColumn<bool>("start");
        QTest::addColumn<int>("delay");
        QTest::addColumn<QByteArray>("usb");
        QTest::addColumn<QByteArray>("bluetooth");

        QTest::newRow("start 5 s") << true << 5 << expected("0002F0000000", 65) << expected("000002F0000000", 66);
        QTest::newRow("start 10 s") << true << 10 << expected("00021C020000", 65) << expected("0000021C020000", 66);
        QTest::newRow("start 1200 s") << true << 1200 << expected("000204190100", 65) << expected("0000020419010000", 66);
        // Text that is no number reaches the report as 0: the count is -60.
        QTest::newRow("start 0 s") << true << 0 << expected("0002C4FFFFFF", 65) << expected("000002C4FFFFFF", 66);
        QTest::newRow("stop") << false << 0 << expected("0003", 65) << expected("000003", 66);
    }

    void start_and_stop_on_the_wire()
    {
        QFETCH(bool, start);
        QFETCH(int, delay);
        QFETCH(QByteArray, usb);
        QFETCH(QByteArray, bluetooth);

        const yoyo::UsbReport report = start ? yoyo::start_report(delay) : yoyo::stop_report();
        QCOMPARE(bytes(report.data(), report.size()), usb);
        const std::vector<std::uint8_t> wide = yoyo::framed(yoyo::bluetooth, report.data());
        QCOMPARE(bytes(wide.data(), wide.size()), bluetooth);
        const std::vector<std::uint8_t> same = yoyo::framed(yoyo::usb, report.data());
        QCOMPARE(bytes(same.data(), same.size()), usb);
    }

    void colour_on_the_wire_data()
    {
        QTest::addColumn<double>("red");
        QTest::addColumn<double>("green");
        QTest::addColumn<double>("blue");
        QTest::addColumn<QByteArray>("wire");

        QTest::newRow("#FF0C4D") << 1.0 << 12 / 255.0 << 77 / 255.0
                                 << expected("000099" "0000803F" "C1C0403D" "9B9A9A3E", 66);
        QTest::newRow("black") << 0.0 << 0.0 << 0.0 << expected("000099", 66);
    }

    void colour_on_the_wire()
    {
        QFETCH(double, red);
        QFETCH(double, green);
        QFETCH(double, blue);
        QFETCH(QByteArray, wire);
        const std::vector<std::uint8_t> report = yoyo::colour_report(red, green, blue);
        QCOMPARE(bytes(report.data(), report.size()), wire);
    }
};

QTEST_APPLESS_MAIN(tst_command_report)
#include "tst_command_report.moc"
