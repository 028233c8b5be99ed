#include "command_report.h"

#include <QtTest>

namespace {

QByteArray wire(const std::vector<std::uint8_t> &report)
{
    return QByteArray(reinterpret_cast<const char *>(report.data()), int(report.size()));
}

QByteArray expected(const char *hex_head, int length)
{
    const QByteArray head = QByteArray::fromHex(hex_head);
    return head + QByteArray(length - head.size(), '\0');
}

} // namespace

class tst_command_report : public QObject
{
    Q_OBJECT

private slots:
    // What hid_write gets for each command, one row per transport.
    void on_the_wire_data()
    {
        QTest::addColumn<bool>("ble");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("bytes");

        QTest::addRow("usb start 5 s") << false << "start 5" << expected("0002F0000000", 65);
        QTest::addRow("ble start 5 s") << true << "start 5" << expected("000002F0000000", 66);
        QTest::addRow("ble start 1200 s") << true << "start 1200" << expected("00000204190100", 66);
        // Text that is no number reaches the report as 0: the count is -60.
        QTest::addRow("usb start 0 s") << false << "start 0" << expected("0002C4FFFFFF", 65);
        QTest::addRow("usb stop") << false << "stop" << expected("0003", 65);
        QTest::addRow("ble stop") << true << "stop" << expected("000003", 66);
        QTest::addRow("colour #FF0C4D") << true << "colour 255 12 77"
                                        << expected("000099" "0000803F" "C1C0403D" "9B9A9A3E", 66);
        QTest::addRow("colour black") << true << "colour 0 0 0" << expected("000099", 66);
    }

    void on_the_wire()
    {
        QFETCH(bool, ble);
        QFETCH(QString, command);
        QFETCH(QByteArray, bytes);

        const QStringList words = command.split(' ');
        const yoyo::Transport &transport = ble ? yoyo::bluetooth : yoyo::usb;
        std::vector<std::uint8_t> report;
        if (words[0] == "colour")
            report = yoyo::colour_report(words[1].toInt() / 255.0, words[2].toInt() / 255.0,
                                         words[3].toInt() / 255.0);
        else
            report = yoyo::framed(transport, words[0] == "stop" ? yoyo::stop_report().data()
                                                                : yoyo::start_report(words[1].toInt()).data());
        QCOMPARE(wire(report), bytes);
    }
};

QTEST_APPLESS_MAIN(tst_command_report)
#include "tst_command_report.moc"
