// The show player's serial-number rule on hand-built records: hidapi's
// hidraw backend never yields a record without a serial, so that case can
// only be built by hand.
#include "discovery.h"

#include <QtTest>

#include <cstdlib>
#include <cwchar>

namespace {

// Records as hidapi allocates them, so that hid_free_enumeration frees them.
// Each is "path serial", or "path" alone for a record without a serial.
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

class tst_discovery : public QObject
{
    Q_OBJECT

private slots:
    void serial_rule_data()
    {
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QStringList>("listed");

        QTest::addRow("leading zero dropped, later zero kept")
            << QStringList{"a 0123", "b 1230", "c A0"} << QStringList{"b", "c"};
        QTest::addRow("empty serial listed") << QStringList{"a "} << QStringList{"a"};
        QTest::addRow("missing serial dropped") << QStringList{"a", "b 7"} << QStringList{"b"};
        QTest::addRow("head, middle and tail dropped")
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
};

QTEST_APPLESS_MAIN(tst_discovery)
#include "tst_discovery.moc"
