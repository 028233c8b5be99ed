#include "virtual_yoyos.h"

#include <QtTest>

Q_DECLARE_METATYPE(std::vector<std::uint8_t>)

namespace {

std::vector<std::uint8_t> report(std::size_t length, std::initializer_list<std::uint8_t> head)
{
    std::vector<std::uint8_t> bytes(length, 0);
    std::copy(head.begin(), head.end(), bytes.begin());
    return bytes;
}

} // namespace

class tst_describe : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<std::vector<std::uint8_t>>("bytes");
        QTest::addColumn<QString>("line");

        QTest::newRow("usb start 5 s") << report(65, {0, 0x02, 0xF0}) << "start 240";
        QTest::newRow("ble start 1200 s") << report(66, {0, 0, 0x02, 0x04, 0x19, 0x01}) << "start 71940";
        QTest::newRow("usb stop") << report(65, {0, 0x03}) << "stop";
        QTest::newRow("ble stop") << report(66, {0, 0, 0x03}) << "stop";
        QTest::newRow("colour")
            << report(66, {0, 0, 0x99, 0, 0, 0x80, 0x3F, 0xC1, 0xC0, 0x40, 0x3D, 0x9B, 0x9A, 0x9A, 0x3E})
            << "colour 255 12 77";
        QTest::newRow("stop with a stray byte is raw") << report(65, {0, 0x03, 0, 7}) << "";
        QTest::newRow("unknown command is raw") << report(65, {0, 0x42}) << "";
        QTest::newRow("short report is raw") << std::vector<std::uint8_t>{0x00, 0x03, 0xAB} << "00 03 AB";
    }

    void lines()
    {
        QFETCH(std::vector<std::uint8_t>, bytes);
        QFETCH(QString, line);
        const QString described = QString::fromStdString(rig::describe(bytes));
        if (line.isEmpty()) {
            // Anything not understood is shown byte for byte.
            QCOMPARE(described.split(' ').size(), int(bytes.size()));
            QVERIFY(described.startsWith("00 "));
        } else {
            QCOMPARE(described, line);
        }
    }
};

QTEST_APPLESS_MAIN(tst_describe)
#include "tst_describe.moc"
