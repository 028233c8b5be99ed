// One colour send to the Bluetooth yo-yos of a list, with the faults a send
// meets: skipped where a yo-yo cannot be opened, ended at a failing write
// with that device closed, and the next send, with the faults mended,
// reaching every yo-yo still there.
#include "colour_sender.h"
#include "hid_library.h"
#include "rig_reports.h"
#include "yoyo_list.h"

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <cerrno>

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

private slots:
    void initTestCase() { yoyo::library_init(); }

    void send_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QStringList>("faults"); // one per yo-yo, in list order
        QTest::addColumn<QStringList>("seen");   // what each yo-yo received

        const QString red = "colour 255 12 77";
        QTest::addRow("#FF0C4D, alpha ignored") << QColor(255, 12, 77, 0) << QStringList{"", ""}
                                                << QStringList{red, red};
        QTest::addRow("sixty-four yo-yos") << QColor(Qt::white) << QStringList(QVector<QString>(64, "").toList())
                                           << QStringList(QVector<QString>(64, "colour 255 255 255").toList());
        QTest::addRow("unplugged and refusing skipped")
            << QColor(Qt::white) << QStringList{"", "unplugged", "refused", ""}
            << QStringList{"colour 255 255 255", "", "", "colour 255 255 255"};
        QTest::addRow("write error ends the send")
            << QColor(Qt::white) << QStringList{"", "failing", ""} << QStringList{"colour 255 255 255", "", ""};
    }

    void send()
    {
        QFETCH(QColor, colour);
        QFETCH(QStringList, faults);
        QFETCH(QStringList, seen);

        rig::VirtualYoyos yoyos;
        for (int i = 0; i < faults.size(); ++i)
            yoyos.add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
        QCOMPARE(refresh_yoyo_devices(), faults.size());
        std::vector<int> listed; // ids in list order
        for (const hid_device_info *record = yoyo_devices; record; record = record->next)
            listed.push_back(std::stoi(record->serial_number) - 1);
        for (int i = 0; i < faults.size(); ++i) {
            const int yoyo = listed[i];
            if (faults[i] == "unplugged")
                yoyos.unplug(yoyo);
            if (faults[i] == "refused")
                yoyos.refuse_open(yoyo, true);
            if (faults[i] == "failing")
                yoyos.fail_writes(yoyo, EIO);
        }

        const int devices = open_devices();
        QElapsedTimer clock;
        clock.start();
        send_colour(yoyo_devices, colour);
        // Nothing to wait for: Bluetooth yo-yos do not answer.
        QVERIFY2(clock.elapsed() < 100 * (faults.size() + 5), qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(open_devices(), devices);

        // The faults mended, a second colour reaches every yo-yo still there
        // and marks the end of the first.
        for (int yoyo : listed) {
            yoyos.refuse_open(yoyo, false);
            yoyos.fail_writes(yoyo, 0);
        }
        refresh_yoyo_devices();
        send_colour(yoyo_devices, QColor(1, 2, 3));
        for (int i = 0; i < faults.size(); ++i) {
            QStringList expected{seen[i], faults[i] != "unplugged" ? "colour 1 2 3" : ""};
            expected.removeAll("");
            QVERIFY(yoyos.wait_for_reports(listed[i], expected.size(), 5000));
            QCOMPARE(described(yoyos, listed[i]), expected);
        }
    }
};

QTEST_GUILESS_MAIN(tst_colour_sender)
#include "tst_colour_sender.moc"
