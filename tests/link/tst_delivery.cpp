// One delivery's outcome and its line in the log.
#include "broadcast.h"
#include "delivery.h"
#include "discovery.h"
#include "hid_library.h"
#include "virtual_yoyos.h"

#include <QtTest>

#include <cerrno>

Q_DECLARE_METATYPE(yoyo::Transport)

namespace {

enum class Fault { none, unplugged, write_fails, silent };

QList<QPair<int, QString>> logged;

void keep(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (qstrcmp(context.category, "vantrel.link") == 0)
        logged << qMakePair(int(type), text);
}

constexpr int nothing = -1;

// What the log line says of each outcome: all that a broadcast leaves of it.
const QMap<yoyo::Delivery, QString> said{{yoyo::Delivery::not_opened, "could not be opened"},
                                         {yoyo::Delivery::write_failed, "write failed"},
                                         {yoyo::Delivery::no_answer, "no answer"},
                                         {yoyo::Delivery::delivered, "took the report"}};

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(yoyo::Delivery)

class tst_delivery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { yoyo::library_init(); }
    void cleanup() { QLoggingCategory::setFilterRules(QString()); }

    void each_outcome_is_logged_once_data()
    {
        QTest::addColumn<yoyo::Transport>("transport");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("broadcast");
        QTest::addColumn<QString>("rules");
        QTest::addColumn<yoyo::Delivery>("outcome");
        QTest::addColumn<int>("level");
        const QString failures = "vantrel.link.info=true", all = "vantrel.link=true";
        using D = yoyo::Delivery;
        const auto usb = yoyo::usb, ble = yoyo::bluetooth;
        const int debug = QtDebugMsg, info = QtInfoMsg;
        QTest::addRow("delivered") << usb << Fault::none << false << all << D::delivered << debug;
        QTest::addRow("unplugged") << usb << Fault::unplugged << false << failures << D::not_opened << info;
        QTest::addRow("default rules") << usb << Fault::unplugged << false << QString() << D::not_opened << nothing;
        QTest::addRow("write failing") << ble << Fault::write_fails << false << failures << D::write_failed << info;
        QTest::addRow("no answer") << usb << Fault::silent << false << failures << D::no_answer << info;
        QTest::addRow("ble, silent") << ble << Fault::silent << false << all << D::delivered << debug;
        QTest::addRow("in a broadcast") << usb << Fault::write_fails << true << failures << D::write_failed << info;
    }
    void each_outcome_is_logged_once()
    {
        QFETCH(yoyo::Transport, transport);
        QFETCH(Fault, fault);
        QFETCH(bool, broadcast);
        QFETCH(QString, rules);
        QFETCH(yoyo::Delivery, outcome);
        QFETCH(int, level);
        rig::VirtualYoyos yoyos;
        const int yoyo = yoyos.add({transport.reads_answer ? rig::Transport::usb : rig::Transport::bluetooth,
                                    "77", fault == Fault::silent ? -1 : 1, 1});
        hid_device_info *list = yoyo::discover(transport);
        QVERIFY(list);
        const QString path = QString::fromLocal8Bit(list->path);
        if (fault == Fault::unplugged)
            yoyos.unplug(yoyo);
        if (fault == Fault::write_fails)
            yoyos.fail_writes(yoyo, EIO);

        QLoggingCategory::setFilterRules(rules);
        logged.clear();
        const QtMessageHandler before = qInstallMessageHandler(keep);
        const yoyo::UsbReport stop = yoyo::stop_report();
        if (broadcast) {
            yoyo::Broadcast(transport).send(list, stop.data()); // its destructor waits for the delivery
        } else {
            const yoyo::Delivery got = yoyo::deliver(transport, list->path, list->serial_number,
                                                     yoyo::framed(transport, stop.data()).data());
            QCOMPARE(got, outcome);
        }
        qInstallMessageHandler(before);
        hid_free_enumeration(list);

        QCOMPARE(logged.size(), level == nothing ? 0 : 1);
        if (level != nothing) {
            QCOMPARE(logged[0].first, level);
            const QString &text = logged[0].second;
            QVERIFY2(text.contains(path) && text.contains("\"77\"") && text.contains(said[outcome]), qPrintable(text));
        }
    }
};

QTEST_GUILESS_MAIN(tst_delivery)
#include "tst_delivery.moc"
