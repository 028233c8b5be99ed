// How an opened file's path becomes the name the window shows, under the
// Windows rules and the Unix ones, on any platform.
#include "video_names.h"

#include <QtTest>

class tst_video_names : public QObject
{
    Q_OBJECT

private slots:
    void shown_name_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("native");
        QTest::addColumn<QString>("shown");
        const QChar windows('\\'), unix('/');
        QTest::addRow("windows, forward slashes")
            << "C:/Shows/2024/opening.mp4" << windows << "C:\\Shows\\2024\\opening.mp4" << "opening.mp4";
        QTest::addRow("windows, backslash last") << "C:/Shows/2024\\opening.mp4" << windows
                                                 << "C:\\Shows\\2024\\opening.mp4" << "opening.mp4";
        QTest::addRow("windows, no separator") << "opening.mp4" << windows << "opening.mp4" << "opening.mp4";
        QTest::addRow("unix") << "/home/op/opening.mp4" << unix << "/home/op/opening.mp4" << "opening.mp4";
        // A backslash is an ordinary character of a name there.
        QTest::addRow("unix, backslash in a name") << "/home/op/a\\b.mp4" << unix << "/home/op/a\\b.mp4" << "a\\b.mp4";
        QTest::addRow("21 characters") << "/v/abcdefghijklmnopqrstu" << unix << "/v/abcdefghijklmnopqrstu"
                                       << "abcdefghijklmnopqrst...";
        QTest::addRow("20 characters") << "/v/abcdefghijklmnopqrst" << unix << "/v/abcdefghijklmnopqrst"
                                       << "abcdefghijklmnopqrst";
    }

    void shown_name()
    {
        QFETCH(QString, path);
        QFETCH(QChar, separator);
        QFETCH(QString, native);
        QFETCH(QString, shown);
        QCOMPARE(native_media_path(path, separator), native);
        QCOMPARE(elide_name(media_file_name(native, separator)), shown);
    }
};

QTEST_APPLESS_MAIN(tst_video_names)
#include "tst_video_names.moc"
