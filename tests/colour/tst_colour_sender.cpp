// Colour sends through the colour tool's broadcast: a fault touches only its
// own yo-yo, and a burst ends with the last colour at every yo-yo.
#include "broadcast.h"
#include "colour_sender.h"
#include "hid_library.h"
#include "rig_reports.h"
#include "yoyo_list.h"

#include <QColor>
#include <QDir>
#include <QtTest>


namespace {

// Open handles on yo-yos: the rig's device nodes are terminals.
int open_devices()
{
    const QDir fds("/proc/self/fd");
    int count = 0;
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        count += QFileInfo(fds.filePath(fd)).symLinkTarget().startsWith("/dev/pts/");
    return count;
}

} // namespace

class tst_colour_sender : public QObject
{
    Q_OBJECT

    std::unique_ptr<rig::VirtualYoyos> yoyos;
    // Rig ids in list order.
    std::vector<int> listed;

    void list(int count)
    {
        for (int i = 0; i < count; ++i)
            yoyos->add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
        QCOMPARE(take_yoyo_devices(find_yoyo_devices()), count);
        listed.clear();
        for (const hid_device_info *record = yoyo_devices; record; record = record->next)
            listed.push_back(std::stoi(record->serial_number) - 1);
    }

private slots:
    void initTestCase() { yoyo::library_init(); }
    void init() { yoyos = std::make_unique<rig::VirtualYoyos>(); }
    void cleanup()
    {
        take_yoyo_devices(nullptr);
        yoyos.reset();
    }

    void send_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QStringList>("faults"); // one per yo-yo, in list order
        QTest::addColumn<QStringList>("seen");   // what each yo-yo received

        const QString red = "colour 255 12 77", white = "colour 255 255 255";
        QTest::addRow("#FF0C4D, alpha ignored") << QColor(255, 12, 77, 0) << QStringList{"", ""}
                                                << QStringList{red, red};
        QTest::addRow("unplugged and refusing skipped") << QColor(Qt::white)
                                                        << QStringList{"", "unplugged", "refused", ""}
                                                        << QStringList{white, "", "", white};
    }

    void send()
    {
        QFETCH(QColor, colour);
        QFETCH(QStringList, faults);
        QFETCH(QStringList, seen);
        list(faults.size());
        for (int i = 0; i < faults.size(); ++i) {
            const int yoyo = listed[i];
            if (faults[i] == "unplugged")
                yoyos->unplug(yoyo);
            if (faults[i] == "refused")
                yoyos->refuse_open(yoyo, true);
        }

        const int devices = open_devices();
        yoyo::Broadcast broadcast(yoyo::bluetooth, yoyo::Broadcast::Backlog::newest_only);
        send_colour(broadcast, yoyo_devices, colour);
        QVERIFY(broadcast.wait_for_tasks(10000));
        QCOMPARE(open_devices(), devices);

        // A fault holds up nothing that comes after it.
        for (int yoyo : listed)
            yoyos->refuse_open(yoyo, false);
        send_colour(broadcast, yoyo_devices, QColor(1, 2, 3));
        QVERIFY(broadcast.wait_for_tasks(10000));
        for (int i = 0; i < faults.size(); ++i) {
            QStringList expected{seen[i], faults[i] != "unplugged" ? "colour 1 2 3" : ""};
            expected.removeAll("");
            QCOMPARE(described(*yoyos, listed[i]), expected);
        }
    }

    // Colours picked faster than the yo-yos take them.
    void burst_ends_with_the_last_colour()
    {
        list(64);
        yoyo::Broadcast broadcast(yoyo::bluetooth, yoyo::Broadcast::Backlog::newest_only);
        QStringList picked;
        for (int hue = 0; hue < 360; hue += 12) {
            const QColor colour = QColor::fromHsv(hue, 255, 255);
            picked << QString("colour %1 %2 %3").arg(colour.red()).arg(colour.green()).arg(colour.blue());
            send_colour(broadcast, yoyo_devices, colour);
        }
        QVERIFY(broadcast.wait_for_tasks(10000));
        for (int yoyo : listed) {
            const QStringList seen = described(*yoyos, yoyo);
            QVERIFY(!seen.isEmpty());
            QCOMPARE(seen.last(), picked.last());
            int at = -1;
            for (const QString &colour : seen) {
                const int next = picked.indexOf(colour, at + 1);
                QVERIFY2(next > at, qPrintable(seen.join(", ")));
                at = next;
            }
        }
    }
};

QTEST_GUILESS_MAIN(tst_colour_sender)
#include "tst_colour_sender.moc"
