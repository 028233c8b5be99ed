// Favourites files that no one would write by hand: empty, binary junk, one
// enormous line, a pipe, a directory, a home that is a file or missing. Each
// gives five colours at once, and the next save leaves a sound file or, where
// nothing can be written, nothing at all.
#include "color_pallet_item.h"
#include "favourites.h"
#include "vantrel.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

const QStringList defaults{"#ff0c4d", "#f5b700", "#009ee2", "#55dde0", "#89fc00"};

QStringList names(const QVector<QColor> &colours)
{
    QStringList list;
    for (const QColor &colour : colours)
        list << (colour.isValid() ? colour.name() : QString("invalid"));
    return list;
}

QByteArray junk(int size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator generator(8);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

// Five lines of "#rrggbb" and nothing else.
bool is_sound_file(const QByteArray &bytes)
{
    return QRegularExpression("\\A(#[0-9a-f]{6}\\n){5}\\z").match(QString::fromLatin1(bytes)).hasMatch();
}

} // namespace

class tst_favourites_input : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;

    QString file() const { return home->filePath(".vantrel_skeel"); }

    void write_file(const QByteArray &bytes) const
    {
        QFile out(file());
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(bytes), qint64(bytes.size()));
    }

    QByteArray read_file() const
    {
        QFile in(file());
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        qputenv("HOME", home->path().toLocal8Bit());
    }

    void odd_contents_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("colours");
        const QStringList none{"invalid", "invalid", "invalid", "invalid", "invalid"};
        QTest::newRow("empty") << QByteArray() << none;
        QTest::newRow("only line feeds") << QByteArray("\n\n\n\n\n\n") << none;
        QTest::newRow("binary junk") << junk(4096) << QStringList();
        QTest::newRow("NUL inside a colour")
            << QByteArray("#12\0" "3456\n#010203\n\n\n\n", 20) << QStringList{"invalid", "#010203", "invalid", "invalid", "invalid"};
        QTest::newRow("one enormous line") << QByteArray(32 * 1024 * 1024, 'f') << none;
        QTest::newRow("a colour, then an enormous line")
            << QByteArray("#010203\n") + QByteArray(8 * 1024 * 1024, '7')
            << QStringList{"#010203", "invalid", "invalid", "invalid", "invalid"};
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF#010203\n#040506\n#070809\n#0a0b0c\n#0d0e0f\n")
                                         << QStringList{"#010203", "#040506", "#070809", "#0a0b0c", "#0d0e0f"};
        QTest::newRow("spaces and tabs around names")
            << QByteArray(" #010203\n#040506 \n\t#070809\n #0a0b0c \n\t\n") << QStringList();
    }

    // Whatever the file holds, five colours come back quickly, and saving
    // them writes five sound lines.
    void odd_contents()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, colours);
        write_file(content);
        QElapsedTimer clock;
        clock.start();
        const QVector<QColor> loaded = load_favourites();
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(loaded.size(), favourite_count);
        if (!colours.isEmpty())
            QCOMPARE(names(loaded), colours);
        save_favourites(loaded);
        QVERIFY2(is_sound_file(read_file()), read_file().left(200).constData());
    }

    // A pipe where the file should be: nothing to read, the defaults at
    // once; the save then puts a file in its place.
    void a_pipe_instead_of_the_file()
    {
        QCOMPARE(mkfifo(QFile::encodeName(file()).constData(), 0600), 0);
        // After a second, opens the pipe's other end for a moment if a reader
        // waits on it, so that a failure of this test cannot hang the run.
        std::atomic<bool> done{false};
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            for (int i = 0; i < 50 && !done; ++i) {
                const int end = ::open(QFile::encodeName(file()).constData(), O_WRONLY | O_NONBLOCK);
                if (end >= 0)
                    ::close(end);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        QElapsedTimer clock;
        clock.start();
        const QStringList loaded = names(load_favourites());
        const qint64 took = clock.elapsed();
        done = true;
        writer.join();
        QVERIFY2(took < 50, qPrintable(QString("waited %1 ms on the pipe").arg(took)));
        QCOMPARE(loaded, defaults);
        save_favourites(QVector<QColor>(favourite_count, Qt::red));
        QVERIFY(QFileInfo(file()).isFile());
        QCOMPARE(read_file(), QByteArray("#ff0000\n").repeated(5));
    }

    void a_directory_instead_of_the_file()
    {
        QVERIFY(QDir(home->path()).mkdir(".vantrel_skeel"));
        QCOMPARE(names(load_favourites()), defaults);
        save_favourites(QVector<QColor>(favourite_count, Qt::red));
        QVERIFY(QFileInfo(file()).isDir());
        QVERIFY(QDir(file()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void homes_where_nothing_can_be_written_data()
    {
        QTest::addColumn<QString>("home_in_dir");
        // root may write anywhere, so unwritable places are made of paths
        // that cannot be directories at all.
        QTest::newRow("home is a regular file") << "file";
        QTest::newRow("home does not exist") << "missing/home";
    }

    // The defaults come back, the tool's save fails quietly and leaves no
    // file or temporary file anywhere.
    void homes_where_nothing_can_be_written()
    {
        QFETCH(QString, home_in_dir);
        QFile regular(home->filePath("file"));
        QVERIFY(regular.open(QIODevice::WriteOnly));
        regular.close();
        qputenv("HOME", home->filePath(home_in_dir).toLocal8Bit());
        {
            vantrel window;
            QStringList swatches;
            for (const char *name : {"col_f1", "col_f2", "col_f3", "col_f4", "col_f5"})
                swatches << window.findChild<ColorPalletItem *>(name)->color().name();
            QCOMPARE(swatches, defaults);
        }
        QCOMPARE(QDir(home->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"file"});
        QCOMPARE(regular.size(), qint64(0));
    }

    // A home named in characters beyond ASCII.
    void home_with_a_non_ascii_name()
    {
        const QString dir = home->filePath(QString::fromUtf8("Jürgen Ærø 東京"));
        QVERIFY(QDir().mkpath(dir));
        qputenv("HOME", QFile::encodeName(dir));
        save_favourites(QVector<QColor>(favourite_count, Qt::blue));
        QCOMPARE(names(load_favourites()), (QStringList{"#0000ff", "#0000ff", "#0000ff", "#0000ff", "#0000ff"}));
        QVERIFY(QFile::exists(dir + "/.vantrel_skeel"));
    }
};

QTEST_MAIN(tst_favourites_input)
#include "tst_favourites_input.moc"
