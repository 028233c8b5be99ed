// The command line's start times, read at noon UTC on 7 December 2026.
#include "start_time.h"

#include <QtTest>

#include <ctime>

class tst_start_time : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void parses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds"); // since the epoch; -1: refused
        QTest::newRow("epoch seconds") << "@1798755300.5" << 1798755300.5;
        QTest::newRow("ISO, UTC") << "2026-12-31T22:15:00Z" << 1798755300.0;
        QTest::newRow("ISO, an hour east") << "2026-12-31T22:15:00+01:00" << 1798751700.0;
        QTest::newRow("ISO, local") << "2026-12-31T22:15:00" << 1798755300.0;
        QTest::newRow("later today") << "22:15" << 1796681700.0;
        QTest::newRow("later today, a fraction") << "22:15:00.5" << 1796681700.5;
        QTest::newRow("gone today: tomorrow") << "06:00" << 1796709600.0;
        QTest::newRow("this very moment: tomorrow") << "12:00:00" << 1796644800.0 + 86400;
        QTest::newRow("no such hour") << "24:00" << -1.0;
        QTest::newRow("seconds in one digit") << "22:15:7" << -1.0;
        QTest::newRow("a date alone") << "2026-12-31" << -1.0;
        QTest::newRow("epoch NaN") << "@nan" << -1.0;
        QTest::newRow("epoch negative") << "@-1" << -1.0;
        QTest::newRow("epoch infinite") << "@inf" << -1.0;
    }

    void parses()
    {
        QFETCH(QString, text);
        QFETCH(double, seconds);
        const auto noon = remote::start_clock::time_point(std::chrono::seconds(1796644800));
        QString why;
        const auto at = remote::parse_start_time(text, noon, &why);
        QCOMPARE(at.has_value(), seconds >= 0);
        if (at)
            QCOMPARE(std::chrono::duration<double>(at->time_since_epoch()).count(), seconds);
        else
            QVERIFY(!why.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_start_time)
#include "tst_start_time.moc"
