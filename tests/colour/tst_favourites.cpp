// The favourite colours file: where it lives, what is read and written back.
#include "color_dialog_pan.h"
#include "color_pallet_item.h"
#include "favourites.h"
#include "vantrel.h"

#include <modal_answer.h>

#include <QtTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <thread>

namespace {

const QStringList defaults{"#ff0c4d", "#f5b700", "#009ee2", "#55dde0", "#89fc00"};
const QByteArray defaults_written = "#ff0c4d\n#f5b700\n#009ee2\n#55dde0\n#89fc00\n";

QStringList names(const QVector<QColor> &colours)
{
    QStringList list;
    for (const QColor &colour : colours)
        list << (colour.isValid() && colour.alpha() == 255 ? colour.name() : QString("not opaque"));
    return list;
}

QByteArray read(const QString &path)
{
    QFile in(path);
    return QFileInfo(path).isFile() && in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(none)");
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

} // namespace

class tst_favourites : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString file() const { return dir.filePath(".vantrel_skeel"); }
    QStringList swatches(const vantrel &window) const
    {
        QVector<QColor> colours;
        for (const char *name : {"col_f1", "col_f2", "col_f3", "col_f4", "col_f5"})
            colours << window.findChild<ColorPalletItem *>(name)->color();
        return names(colours);
    }

private slots:
    void init()
    {
        QVERIFY(QDir(dir.path()).removeRecursively() && QDir().mkpath(dir.path()));
        QDir::setCurrent(dir.path());
        qputenv("HOME", QFile::encodeName(dir.path()));
    }

    // Closing the window writes the defaults where the home allows, as a
    // file, and nothing anywhere else.
    void homes_data()
    {
        QTest::addColumn<QString>("home"); // "@": a setup in the test directory
        QTest::addColumn<QString>("written"); // the file that then holds the defaults
        QTest::newRow("beyond ASCII") << "Jürgen Ærø 東京" << "Jürgen Ærø 東京/.vantrel_skeel";
        QTest::newRow("HOME relative, as unset") << "@relative" << "";
        QTest::newRow("home is missing") << "missing/home" << "";
        QTest::newRow("a directory in the file's place") << "@directory" << "";
        // The pipe holds other colours, so that reading it would show.
        QTest::newRow("a pipe in the file's place") << "@pipe" << ".vantrel_skeel";
    }

    void homes()
    {
        QFETCH(QString, home);
        QFETCH(QString, written);
        const QByteArray fifo = QFile::encodeName(file());
        if (!home.startsWith('@'))
            qputenv("HOME", QFile::encodeName(dir.filePath(home)));
        if (home == "@relative")
            qputenv("HOME", ".");
        if (home == "@directory" || home.contains(' '))
            QVERIFY(QDir().mkpath(home == "@directory" ? file() : dir.filePath(home)));
        const int pipe_end = home == "@pipe" && mkfifo(fifo, 0600) == 0 ? ::open(fifo, O_RDWR) : -1;
        QCOMPARE(::write(pipe_end, "#000001\n#000001\n#000001\n#000001\n#000001\n", 40) == 40, pipe_end >= 0);
        // Lets a reader of the pipe finish, so that a failure cannot hang.
        std::thread closer([pipe_end] {
            if (pipe_end >= 0)
                std::this_thread::sleep_for(std::chrono::seconds(1));
            ::close(pipe_end);
        });
        {
            vantrel window;
            QCOMPARE(swatches(window), defaults);
        }
        closer.join();
        if (!written.isEmpty())
            QCOMPARE(read(dir.filePath(written)), defaults_written);
        const QString made = home == "@directory" ? ".vantrel_skeel" : written.section('/', 0, 0);
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(dir.path()).entryList(all), made.isEmpty() ? QStringList() : QStringList{made});
        QVERIFY(!QFileInfo(file()).isDir() || QDir(file()).isEmpty(all));
        QVERIFY(!QFile::exists(QDir::rootPath() + ".vantrel_skeel"));
    }

    // Lines are read in pieces of at most 128 characters; whatever does not
    // name a colour is opaque black. A save writes five lower-case lines
    // without alpha, each ending in a line feed.
    void reads_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("colours");
        const QString k = "#000000";
        QTest::newRow("CRLF, more lines") << QByteArray("#010203\r\n#A0B0C0\r\nred\r\nnavy\r\n#fafbfc\r\n#1\r\n")
                                      << QStringList{"#010203", "#a0b0c0", "#ff0000", "#000080", "#fafbfc"};
        QTest::newRow("three lines") << QByteArray("#010203\n#A0B0C0\nred\n") << QStringList{"#010203", "#a0b0c0", "#ff0000", k, k};
        QTest::newRow("empty and bad lines") << QByteArray("\n#12345\nnot a colour\n#000000\n#0a0b0c\n") << QStringList{k, k, k, k, "#0a0b0c"};
        QTest::newRow("pieces of 128") << QByteArray(128, 'x') + "#00ff00\n#010203\n#040506\n#070809\n"
                                       << QStringList{k, "#00ff00", "#010203", "#040506", "#070809"};
        QTest::newRow("NUL inside") << QByteArray("#12\0" "3456\n#010203\n", 16) << QStringList{k, "#010203", k, k, k};
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF#010203\n#040506\n#070809\n#0a0b0c\n#0d0e0f\n")
                                         << QStringList{"#010203", "#040506", "#070809", "#0a0b0c", "#0d0e0f"};
    }

    void reads()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, colours);
        QVERIFY(write(file(), content));
        const QVector<QColor> loaded = load_favourites();
        QCOMPARE(loaded.size(), favourite_count);
        QCOMPARE(names(loaded), colours);
        QVector<QColor> translucent = loaded;
        for (QColor &colour : translucent)
            colour.setAlpha(4);
        save_favourites(translucent);
        const QString saved = QString::fromLatin1(read(file()));
        QCOMPARE(saved, names(loaded).join('\n') + '\n');
    }

    void failed_save_keeps_the_previous_file()
    {
        QVERIFY(write(file(), defaults_written));
        rlimit old_limit;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
        rlimit small = old_limit;
        small.rlim_cur = 10;
        const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        save_favourites(QVector<QColor>(favourite_count, Qt::red));
        setrlimit(RLIMIT_FSIZE, &old_limit);
        std::signal(SIGXFSZ, old_handler);
        QCOMPARE(read(file()), defaults_written);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{".vantrel_skeel"});
    }

    // A swatch from a line that names no colour is opaque black, which its
    // F-key and click choose and the close saves with an edit.
    void unreadable_line_is_black_and_edits_are_saved()
    {
        QVERIFY(write(file(), "#010203\nnot a colour\n#040506\n#070809\n#0a0b0c\n"));
        {
            vantrel window;
            QSignalSpy chosen(window.findChild<QColorDialogPan *>("col_pan"), &QColorDialog::currentColorChanged);
            QTest::keyClick(&window, Qt::Key_F2);
            QTest::mousePress(window.findChild<ColorPalletItem *>("col_f2"), Qt::LeftButton);
            QCOMPARE(chosen.count(), 2);
            for (const QList<QVariant> &colour : chosen)
                QCOMPARE(colour.at(0).value<QColor>(), QColor(0, 0, 0, 255));
            answer_modal<QColorDialog>([](QColorDialog *dialog) {
                dialog->setCurrentColor(QColor("#123456"));
                dialog->accept();
            });
            QTest::mousePress(window.findChild<ColorPalletItem *>("col_f3"), Qt::RightButton);
        }
        QCOMPARE(read(file()), QByteArray("#010203\n#000000\n#123456\n#070809\n#0a0b0c\n"));
    }
};

QTEST_MAIN(tst_favourites)
#include "tst_favourites.moc"
