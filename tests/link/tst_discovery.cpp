// The serial-number rule on hand-built records: hidapi's hidraw backend never
// yields a record without a serial, so that case can only be built by hand.
#include "discovery.h"

#include <QtTest>

#include <cstdlib>
#include <cwchar>

namespace {

// Records as hidapi allocates them, so that hid_free_enumeration frees them.
hid_device_info *chain(const QStringList &serials)
{
    hid_device_info *head = nullptr;
    hid_device_info **link = &head;
    int n = 0;
    for (const QString &serial : serials) {
        auto *record = static_cast<hid_device_info *>(std::calloc(1, sizeof(hid_device_info)));
        record->path = strdup(QByteArray("/dev/hidraw" + QByteArray::number(n++)).constData());
        if (!serial.isNull()) {
            std::wstring wide = serial.toStdWString();
            record->serial_number = wcsdup(wide.c_str());
        }
        *link = record;
        link = &record->next;
    }
    return head;
}

QStringList paths(const hid_device_info *head)
{
    QStringList result;
    for (; head; head = head->next)
        result << QString::fromUtf8(head->path);
    return result;
}

} // namespace

class tst_discovery : public QObject
{
    Q_OBJECT

private slots:
    void serial_rule_data()
    {
        QTest::addColumn<QStringList>("serials");
        QTest::addColumn<QStringList>("kept");

        const QString none; // a null QString stands for a missing serial
        QTest::newRow("nothing") << QStringList() << QStringList();
        QTest::newRow("leading zero dropped, later zero kept")
            << QStringList{"0123", "1230", "A0"} << QStringList{"/dev/hidraw1", "/dev/hidraw2"};
        QTest::newRow("empty serial counts") << QStringList{""} << QStringList{"/dev/hidraw0"};
        QTest::newRow("missing serial dropped") << QStringList{none, "7"} << QStringList{"/dev/hidraw1"};
        QTest::newRow("head, middle and tail dropped")
            << QStringList{"0", "1", "0x", "2", none} << QStringList{"/dev/hidraw1", "/dev/hidraw3"};
        QTest::newRow("all dropped") << QStringList{"0", none, "00"} << QStringList();
        QTest::newRow("order kept") << QStringList{"9", "8", "7"}
                                    << QStringList{"/dev/hidraw0", "/dev/hidraw1", "/dev/hidraw2"};
    }

    void serial_rule()
    {
        QFETCH(QStringList, serials);
        QFETCH(QStringList, kept);

        hid_device_info *listed = yoyo::drop_unlisted(chain(serials));
        QCOMPARE(paths(listed), kept);
        QCOMPARE(yoyo::count_records(listed), kept.size());
        hid_free_enumeration(listed);
    }
};

QTEST_APPLESS_MAIN(tst_discovery)
#include "tst_discovery.moc"
