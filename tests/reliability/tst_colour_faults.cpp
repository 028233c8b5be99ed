// Device faults under the colour tool's window: sixty-four yo-yos, yo-yos that
// come and go between poll cycles, nodes nobody may open and every fault in
// one send. The sound yo-yos keep getting their colours, the count follows
// within a poll cycle and the tool keeps running.
#include "gui_stall.h"

#include "vantrel.h"
#include "virtual_yoyos.h"
#include "yoyo_list.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <cerrno>
#include <memory>

class tst_colour_faults : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<rig::VirtualYoyos> yoyos;
    std::unique_ptr<vantrel> window;
    int added = 0;

    int add(const std::string &serial)
    {
        ++added;
        return yoyos->add({rig::Transport::bluetooth, serial, -1, 1});
    }

    QString shown_count() const { return window->findChild<QLabel *>("lbl_con")->text(); }
    std::size_t received(int yoyo) const { return yoyos->received(yoyo).size(); }

    // Auto off, so that only Send sends.
    void open_window(int expected_count)
    {
        window = std::make_unique<vantrel>();
        window->findChild<QCheckBox *>("chk_send_auto")->click();
        QTRY_COMPARE_WITH_TIMEOUT(shown_count(), QString::number(expected_count), 1500);
    }

    void send() { window->findChild<QPushButton *>("btn_send_col")->click(); }

    // Ids of the yo-yos in the order of the tool's current list.
    std::vector<int> listed() const
    {
        std::vector<int> ids;
        for (const hid_device_info *record = yoyo_devices; record; record = record->next)
            for (int id = 0; id < added; ++id)
                if (yoyos->device_node(id) == record->path)
                    ids.push_back(id);
        return ids;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toLocal8Bit());
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

    // Sixty-four yo-yos: counted within a poll cycle, and one send writes
    // the colour to each of them once, in list order.
    void sixty_four_yoyos_at_once()
    {
        const int count = 64;
        for (int i = 0; i < count; ++i)
            add(std::to_string(i + 1));
        GuiStall stall;
        open_window(count);
        QElapsedTimer clock;
        clock.start();
        send();
        const qint64 send_ms = clock.elapsed();
        QTest::qWait(600); // a few poll cycles, each enumerating all 64
        qInfo("64 yo-yos: one send took %lld ms on the GUI thread; longest GUI stall %lld ms",
              send_ms, stall.longest_ms());
        QVERIFY2(stall.longest_ms() < 2000, qPrintable(QString::number(stall.longest_ms())));
        std::vector<int> order;
        for (const rig::Received &report : yoyos->received()) {
            order.push_back(report.yoyo);
            QCOMPARE(rig::describe(report.bytes), std::string("colour 0 0 0"));
        }
        QVERIFY(order == listed());
        QCOMPARE(int(order.size()), count);
    }

    // Half the yo-yos come and go between poll cycles; after each change the
    // count is right within a cycle and a send reaches exactly those there.
    void yoyos_come_and_go_between_poll_cycles()
    {
        const int steady = 2, flapping = 2, rounds = 6;
        for (int i = 0; i < steady + flapping; ++i)
            add(std::to_string(i + 1));
        open_window(steady + flapping);
        bool plugged = true;
        for (int round = 0; round < rounds; ++round) {
            plugged = !plugged;
            for (int i = steady; i < steady + flapping; ++i)
                plugged ? yoyos->plug(i) : yoyos->unplug(i);
            QTRY_COMPARE_WITH_TIMEOUT(shown_count(), QString::number(steady + (plugged ? flapping : 0)), 1000);
            send();
        }
        for (int i = 0; i < steady; ++i)
            QCOMPARE(received(i), std::size_t(rounds));
        for (int i = steady; i < steady + flapping; ++i)
            QCOMPARE(received(i), std::size_t(rounds / 2));
    }

    // No permission on any node: every yo-yo is counted, a send reaches none
    // and holds the GUI thread no longer than a sound one; with access back
    // the next send reaches all.
    void no_access_to_any_node()
    {
        for (int i = 0; i < 3; ++i)
            add(std::to_string(i + 1));
        yoyos->deny_access(true);
        open_window(3);
        QElapsedTimer clock;
        clock.start();
        send();
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(300);
        QVERIFY(yoyos->received().empty());
        QCOMPARE(shown_count(), QString("3"));

        yoyos->deny_access(false);
        send();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(received(i), std::size_t(1));
    }

    // One send meets every fault, in list order: skipped where the yo-yo
    // cannot be opened, ended at the failing write, and the tool goes on;
    // the next send, with the write mended, reaches all that are left.
    void every_fault_in_one_send()
    {
        for (int i = 0; i < 6; ++i)
            add(std::to_string(i + 1));
        open_window(6);
        const std::vector<int> order = listed();
        const int sound_1 = order[0], gone = order[1], refused = order[2], sound_2 = order[3],
                  failing = order[4], after_failure = order[5];
        yoyos->unplug(gone);
        yoyos->refuse_open(refused, true);
        yoyos->fail_writes(failing, EIO);
        send();
        QCOMPARE(received(sound_1), std::size_t(1));
        QCOMPARE(received(sound_2), std::size_t(1));
        for (int yoyo : {gone, refused, failing, after_failure})
            QCOMPARE(received(yoyo), std::size_t(0));

        QTRY_COMPARE_WITH_TIMEOUT(shown_count(), QString("5"), 1000);
        yoyos->fail_writes(failing, 0);
        yoyos->refuse_open(refused, false);
        send();
        for (int yoyo : {sound_1, sound_2})
            QCOMPARE(received(yoyo), std::size_t(2));
        for (int yoyo : {refused, failing, after_failure})
            QCOMPARE(received(yoyo), std::size_t(1));
        QCOMPARE(received(gone), std::size_t(0));
    }
};

QTEST_MAIN(tst_colour_faults)
#include "tst_colour_faults.moc"
