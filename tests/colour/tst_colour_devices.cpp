// What reaches the virtual Bluetooth yo-yos: the colour command on the wire,
// the send to every listed yo-yo, and the window's count and sends.
#include "color_pallet_item.h"
#include "colour_sender.h"
#include "hid_library.h"
#include "vantrel.h"
#include "virtual_yoyos.h"
#include "yoyo_list.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <cerrno>
#include <memory>

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

Bytes report(std::initializer_list<std::uint8_t> head)
{
    Bytes bytes(66, 0);
    std::copy(head.begin(), head.end(), bytes.begin());
    return bytes;
}

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

class tst_colour_devices : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<rig::VirtualYoyos> yoyos;
    std::unique_ptr<vantrel> window;
    int added = 0;

    void add(const rig::YoyoOptions &options)
    {
        yoyos->add(options);
        ++added;
    }

    void add_bluetooth(int count)
    {
        for (int i = 0; i < count; ++i)
            add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
    }

    // Ids of the yo-yos in the order of the current list.
    std::vector<int> listed() const
    {
        std::vector<int> ids;
        for (const hid_device_info *record = yoyo_devices; record; record = record->next)
            for (int id = 0; id < added; ++id)
                if (yoyos->device_node(id) == record->path)
                    ids.push_back(id);
        return ids;
    }

    std::vector<std::string> seen_by(int yoyo) const
    {
        std::vector<std::string> lines;
        for (const rig::Received &received : yoyos->received(yoyo))
            lines.push_back(rig::describe(received.bytes));
        return lines;
    }

    QLabel *count() const { return window->findChild<QLabel *>("lbl_con"); }

    void open_window(int expected_count)
    {
        window = std::make_unique<vantrel>();
        QTRY_COMPARE(count()->text(), QString::number(expected_count));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toLocal8Bit());
        yoyo::library_init();
    }

    void init()
    {
        yoyos = std::make_unique<rig::VirtualYoyos>();
        added = 0;
    }

    void cleanup()
    {
        window.reset();
        yoyos.reset();
        refresh_yoyo_devices();
    }

    void colour_command_on_the_wire_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<Bytes>("bytes");
        const Bytes red = report({0, 0, 0x99, 0, 0, 0x80, 0x3F, 0xC1, 0xC0, 0x40, 0x3D, 0x9B, 0x9A, 0x9A, 0x3E});
        QTest::newRow("#FF0C4D") << QColor("#FF0C4D") << red;
        QTest::newRow("#FF0C4D half transparent") << QColor(255, 12, 77, 128) << red;
        QTest::newRow("black") << QColor(Qt::black) << report({0, 0, 0x99});
        QTest::newRow("black transparent") << QColor(0, 0, 0, 0) << report({0, 0, 0x99});
    }

    void colour_command_on_the_wire()
    {
        QFETCH(QColor, colour);
        QFETCH(Bytes, bytes);
        add_bluetooth(1);
        refresh_yoyo_devices();
        send_colour(yoyo_devices, colour);
        QVERIFY(yoyos->wait_for_reports(0, 1, 5000));
        QCOMPARE(yoyos->received(0).size(), std::size_t(1));
        QVERIFY(yoyos->received(0)[0].bytes == bytes);
    }

    void every_listed_record_in_list_order_every_time()
    {
        add_bluetooth(2);
        add({rig::Transport::usb, "9", 1, 1});
        add({rig::Transport::bluetooth, "3", -1, 2});
        QCOMPARE(refresh_yoyo_devices(), 4);
        send_colour(yoyo_devices, QColor("#FF0C4D"));
        send_colour(yoyo_devices, QColor("#FF0C4D"));

        std::vector<int> expected = listed();
        expected.insert(expected.end(), expected.begin(), expected.end());
        QVERIFY(yoyos->wait_for_reports(3, 4, 5000));
        std::vector<int> order;
        for (const rig::Received &received : yoyos->received()) {
            order.push_back(received.yoyo);
            QCOMPARE(rig::describe(received.bytes), std::string("colour 255 12 77"));
        }
        QVERIFY(order == expected);
        QVERIFY(yoyos->received(2).empty());
    }

    void unreachable_yoyo_is_skipped_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::newRow("unplugged since the enumeration") << true;
        QTest::newRow("refuses to open") << false;
    }

    void unreachable_yoyo_is_skipped()
    {
        QFETCH(bool, unplug);
        add_bluetooth(3);
        refresh_yoyo_devices();
        const int middle = listed()[1], last = listed()[2];
        unplug ? yoyos->unplug(middle) : yoyos->refuse_open(middle, true);
        send_colour(yoyo_devices, Qt::white);
        QVERIFY(yoyos->wait_for_reports(last, 1, 5000));
        QCOMPARE(yoyos->received().size(), std::size_t(2));
        QVERIFY(yoyos->received(middle).empty());
    }

    void failed_write_ends_the_send_and_closes_the_device_data()
    {
        QTest::addColumn<bool>("pulled_out");
        QTest::newRow("write error") << false;
        QTest::newRow("pulled out while written") << true;
    }

    void failed_write_ends_the_send_and_closes_the_device()
    {
        QFETCH(bool, pulled_out);
        add_bluetooth(3);
        refresh_yoyo_devices();
        const int first = listed()[0], middle = listed()[1], last = listed()[2];
        pulled_out ? yoyos->unplug_during_next_write(middle) : yoyos->fail_writes(middle, EIO);
        const int devices = open_devices();
        send_colour(yoyo_devices, Qt::white);
        QCOMPARE(open_devices(), devices);

        // A second colour, with the fault gone, marks the end of the first.
        yoyos->fail_writes(middle, 0);
        send_colour(yoyo_devices, Qt::black);
        QVERIFY(yoyos->wait_for_reports(last, 1, 5000));
        QCOMPARE(seen_by(first), (std::vector<std::string>{"colour 255 255 255", "colour 0 0 0"}));
        QCOMPARE(seen_by(last), std::vector<std::string>{"colour 0 0 0"});
    }

    void count_follows_plugs_every_poll_cycle()
    {
        open_window(0);
        add_bluetooth(1);
        QTRY_COMPARE_WITH_TIMEOUT(count()->text(), QString("1"), 1500);
        add({rig::Transport::usb, "7", 1, 1});
        add({rig::Transport::bluetooth, "8", -1, 2});
        QTRY_COMPARE_WITH_TIMEOUT(count()->text(), QString("3"), 1500);
        yoyos->unplug(0);
        QTRY_COMPARE_WITH_TIMEOUT(count()->text(), QString("2"), 1500);
        count()->setText("-");
        QTRY_COMPARE_WITH_TIMEOUT(count()->text(), QString("2"), 1500);
    }

    void with_auto_every_pick_sends_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("colour");
        QTest::newRow("click on F1") << "col_f1" << "colour 255 12 77";
        QTest::newRow("click on F4") << "col_f4" << "colour 85 221 224";
        QTest::newRow("F1") << "F1" << "colour 255 12 77";
        QTest::newRow("F2") << "F2" << "colour 245 183 0";
        QTest::newRow("F3") << "F3" << "colour 0 158 226";
        QTest::newRow("F4") << "F4" << "colour 85 221 224";
        QTest::newRow("F5") << "F5" << "colour 137 252 0";
        QTest::newRow("Reset") << "btn_reset_col" << "colour 0 0 0";
        QTest::newRow("F12") << "F12" << "colour 0 0 0";
    }

    void with_auto_every_pick_sends()
    {
        QFETCH(QString, action);
        QFETCH(QString, colour);
        add_bluetooth(2);
        open_window(2);
        // Twice: the second pick does not change the colour and still sends.
        for (int i = 0; i < 2; ++i) {
            if (action.startsWith("col_"))
                QTest::mousePress(window->findChild<ColorPalletItem *>(action), Qt::LeftButton);
            else if (action.startsWith("btn_"))
                window->findChild<QPushButton *>(action)->click();
            else
                QTest::keyClick(window.get(), Qt::Key(QKeySequence(action)[0]));
        }
        for (int yoyo : {0, 1}) {
            QVERIFY(yoyos->wait_for_reports(yoyo, 2, 5000));
            QCOMPARE(seen_by(yoyo), std::vector<std::string>(2, colour.toStdString()));
        }
    }

    void keys_without_a_pick_send_nothing()
    {
        add_bluetooth(1);
        open_window(1);
        for (int key = Qt::Key_F6; key <= Qt::Key_F11; ++key)
            QTest::keyClick(window.get(), Qt::Key(key));
        QTest::keyClick(window.get(), Qt::Key_A);
        window->findChild<QPushButton *>("btn_reset_col")->click();
        QVERIFY(yoyos->wait_for_reports(0, 1, 5000));
        QCOMPARE(seen_by(0), std::vector<std::string>{"colour 0 0 0"});
    }

    void without_auto_only_send_sends()
    {
        add_bluetooth(2);
        open_window(2);
        window->findChild<QCheckBox *>("chk_send_auto")->click();
        QTest::keyClick(window.get(), Qt::Key_F1);
        QTest::mousePress(window->findChild<ColorPalletItem *>("col_f2"), Qt::LeftButton);
        QTest::keyClick(window.get(), Qt::Key_F3);
        window->findChild<QPushButton *>("btn_send_col")->click();
        for (int yoyo : {0, 1}) {
            QVERIFY(yoyos->wait_for_reports(yoyo, 1, 5000));
            QCOMPARE(seen_by(yoyo), std::vector<std::string>{"colour 0 158 226"});
        }
    }

    void closing_sends_black_only_with_auto_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::newRow("Auto") << true;
        QTest::newRow("no Auto") << false;
    }

    void closing_sends_black_only_with_auto()
    {
        QFETCH(bool, automatic);
        add_bluetooth(2);
        open_window(2);
        if (!automatic)
            window->findChild<QCheckBox *>("chk_send_auto")->click();
        QTest::keyClick(window.get(), Qt::Key_F2);
        window.reset();
        // A last colour of our own marks the end of what the window sent.
        send_colour(yoyo_devices, Qt::white);
        for (int yoyo : {0, 1}) {
            QVERIFY(yoyos->wait_for_reports(yoyo, 1, 5000));
            std::vector<std::string> expected{"colour 255 255 255"};
            if (automatic)
                expected.insert(expected.begin(), {"colour 245 183 0", "colour 0 0 0"});
            QCOMPARE(seen_by(yoyo), expected);
        }
    }
};

QTEST_MAIN(tst_colour_devices)
#include "tst_colour_devices.moc"
