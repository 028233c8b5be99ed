// One delivery's outcome and its line in the log, against a virtual yo-yo
// through the real hidapi.
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

struct Line {
    QtMsgType type;
    QString text;
};
QList<Line> logged;

void keep(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (qstrcmp(context.category, "vantrel.link") == 0)
        logged << Line{type, text};
}

constexpr int nothing = -1;

} // namespace

Q_DECLARE_METATYPE(Fault)

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
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("level");
        const QString failures = "vantrel.link.info=true";
        const QString everything = "vantrel.link=true";
        const int info = QtInfoMsg;
        QTest::addRow("delivered, every level on") << yoyo::usb << Fault::none << false << everything
                                                   << int(yoyo::Delivery::delivered) << int(QtDebugMsg);
        QTest::addRow("delivered, failures on") << yoyo::usb << Fault::none << false << failures
                                                << int(yoyo::Delivery::delivered) << nothing;
        QTest::addRow("unplugged") << yoyo::usb << Fault::unplugged << false << failures
                                   << int(yoyo::Delivery::not_opened) << info;
        QTest::addRow("unplugged, default rules") << yoyo::usb << Fault::unplugged << false << QString()
                                                  << int(yoyo::Delivery::not_opened) << nothing;
        QTest::addRow("write failing") << yoyo::bluetooth << Fault::write_fails << false << failures
                                       << int(yoyo::Delivery::write_failed) << info;
        QTest::addRow("no answer") << yoyo::usb << Fault::silent << false << failures
                                   << int(yoyo::Delivery::no_answer) << info;
        QTest::addRow("bluetooth awaits no answer") << yoyo::bluetooth << Fault::silent << false << everything
                                                    << int(yoyo::Delivery::delivered) << int(QtDebugMsg);
        QTest::addRow("write failing, in a broadcast") << yoyo::usb << Fault::write_fails << true << failures
                                                       << int(yoyo::Delivery::write_failed) << info;
    }
    void each_outcome_is_logged_once()
    {
        QFETCH(yoyo::Transport, transport);
        QFETCH(Fault, fault);
        QFETCH(bool, broadcast);
        QFETCH(QString, rules);
        QFETCH(int, outcome);
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
            QCOMPARE(int(got), outcome);
        }
        qInstallMessageHandler(before);
        hid_free_enumeration(list);

        QCOMPARE(logged.size(), level == nothing ? 0 : 1);
        if (level != nothing) {
            QCOMPARE(int(logged[0].type), level);
            QVERIFY2(logged[0].text.contains(path) && logged[0].text.contains("\"77\""), qPrintable(logged[0].text));
        }
    }
};

QTEST_GUILESS_MAIN(tst_delivery)
#include "tst_delivery.moc"
