// hidapi keeps one error string for the whole process and replaces it at
// every failed open, without a lock. Opens that fail on several threads at
// once, while this thread enumerates, must still let every reachable yo-yo
// be written and never free that string twice.
#include "hid_library.h"
#include "virtual_yoyos.h"

#include <QtTest>

#include <thread>

class tst_hid_library : public QObject
{
    Q_OBJECT

private slots:
    void failing_opens_on_many_threads_while_enumerating()
    {
        yoyo::library_init();
        rig::VirtualYoyos yoyos;
        // Every refused open costs the emulation one of its fifty slots for
        // good (umockdev keeps a record of a failed open), so they are few.
        const int count = 12, threads = 4, rounds = 3;
        const auto refused = [](int yoyo) { return yoyo % 4 == 1; };
        std::vector<std::string> nodes;
        for (int i = 0; i < count; ++i) {
            yoyos.add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
            yoyos.refuse_open(i, refused(i));
            nodes.push_back(yoyos.device_node(i));
        }
        std::vector<std::thread> writers;
        for (int t = 0; t < threads; ++t) {
            writers.emplace_back([&nodes] {
                const unsigned char stop[66] = {0, 0, 0x03};
                for (int round = 0; round < rounds; ++round) {
                    for (const std::string &node : nodes) {
                        if (hid_device *device = yoyo::open_device(node.c_str())) {
                            hid_write(device, stop, sizeof stop);
                            yoyo::close_device(device);
                        }
                    }
                }
            });
        }
        for (int round = 0; round < threads * rounds; ++round) {
            hid_device_info *list = yoyo::enumerate(0x0268, 0x0100);
            QVERIFY(list);
            hid_free_enumeration(list);
        }
        for (std::thread &writer : writers)
            writer.join();
        for (int i = 0; i < count; ++i)
            QCOMPARE(yoyos.received(i).size(), std::size_t(refused(i) ? 0 : threads * rounds));
        yoyo::library_exit();
    }
};

QTEST_GUILESS_MAIN(tst_hid_library)
#include "tst_hid_library.moc"
