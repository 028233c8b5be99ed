#include "video_names.h"

#include <QtTest>

namespace {
const QChar windows_separator = QLatin1Char('\\');
const QChar unix_separator = QLatin1Char('/');
} // namespace

class video_names_test : public QObject
{
    Q_OBJECT

private slots:
    void native_path_data();
    void native_path();
    void file_name_data();
    void file_name();
    void name_after_either_separator_on_windows_data();
    void name_after_either_separator_on_windows();
    void elided_name_data();
    void elided_name();
};

void video_names_test::native_path_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("expected");

    QTest::newRow("windows, forward slashes")
        << "C:/Shows/2024/opening.mp4" << windows_separator << "C:\\Shows\\2024\\opening.mp4";
    QTest::newRow("windows, mixed") << "C:\\Shows/opening.mp4" << windows_separator << "C:\\Shows\\opening.mp4";
    QTest::newRow("windows, already native")
        << "\\\\server\\shows\\opening.mp4" << windows_separator << "\\\\server\\shows\\opening.mp4";
    QTest::newRow("unix") << "/home/op/opening.mp4" << unix_separator << "/home/op/opening.mp4";
    // A backslash is an ordinary character of a file name there.
    QTest::newRow("unix, backslash in a name") << "/home/op/a\\b.mp4" << unix_separator << "/home/op/a\\b.mp4";
}

void video_names_test::native_path()
{
    QFETCH(QString, path);
    QFETCH(QChar, separator);
    QFETCH(QString, expected);
    QCOMPARE(native_media_path(path, separator), expected);
}

void video_names_test::file_name_data()
{
    QTest::addColumn<QString>("native_path");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("expected");

    QTest::newRow("windows") << "C:\\Shows\\opening.mp4" << windows_separator << "opening.mp4";
    QTest::newRow("windows, no separator") << "opening.mp4" << windows_separator << "opening.mp4";
    QTest::newRow("windows, slash is no separator") << "C:\\a/b.mp4" << windows_separator << "a/b.mp4";
    QTest::newRow("unix") << "/home/op/opening.mp4" << unix_separator << "opening.mp4";
    QTest::newRow("unix, backslash in a name") << "/home/op/a\\b.mp4" << unix_separator << "a\\b.mp4";
    QTest::newRow("unix, no separator") << "opening.mp4" << unix_separator << "opening.mp4";
    QTest::newRow("directory") << "/home/op/" << unix_separator << "";
}

void video_names_test::file_name()
{
    QFETCH(QString, native_path);
    QFETCH(QChar, separator);
    QFETCH(QString, expected);
    QCOMPARE(media_file_name(native_path, separator), expected);
}

void video_names_test::name_after_either_separator_on_windows_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("slash last") << "C:\\Shows\\2024/opening.mp4";
    QTest::newRow("backslash last") << "C:/Shows/2024\\opening.mp4";
    QTest::newRow("slashes only") << "C:/Shows/2024/opening.mp4";
}

void video_names_test::name_after_either_separator_on_windows()
{
    QFETCH(QString, path);
    const QString native = native_media_path(path, windows_separator);
    QCOMPARE(media_file_name(native, windows_separator), QStringLiteral("opening.mp4"));
}

void video_names_test::elided_name_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    QTest::newRow("31 characters") << letters.left(31) << "abcdefghijklmnopqrst...";
    QTest::newRow("21 characters") << letters.left(21) << "abcdefghijklmnopqrst...";
    QTest::newRow("20 characters") << letters.left(20) << "abcdefghijklmnopqrst";
    QTest::newRow("19 characters") << letters.left(19) << "abcdefghijklmnopqrs";
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("non-ASCII") << QStringLiteral("Eröffnungsvorstellung 2024.mp4")
                               << QStringLiteral("Eröffnungsvorstellun...");
}

void video_names_test::elided_name()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(elide_name(name), expected);
}

QTEST_APPLESS_MAIN(video_names_test)
#include "video_names_test.moc"
