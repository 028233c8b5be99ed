// The favourite colours file: where it lives, what is read from it, what is
// written back, and the round trip through the window.
#include "color_pallet_item.h"
#include "favourites.h"
#include "modal_answer.h"
#include "vantrel.h"

#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>

namespace {

const QStringList defaults{"#ff0c4d", "#f5b700", "#009ee2", "#55dde0", "#89fc00"};
const QByteArray defaults_written = "#ff0c4d\n#f5b700\n#009ee2\n#55dde0\n#89fc00\n";

QStringList names(const QVector<QColor> &colours)
{
    QStringList list;
    for (const QColor &colour : colours)
        list << (colour.isValid() ? colour.name() : QString("invalid"));
    return list;
}

} // namespace

class tst_favourites : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;

    QString file() const { return home->filePath(".vantrel_skeel"); }

    void write_file(const QByteArray &bytes) const
    {
        QFile out(file());
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

    QByteArray read_file() const
    {
        QFile in(file());
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
    }

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
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        qputenv("HOME", home->path().toLocal8Bit());
    }

    void lives_in_the_home_directory()
    {
        QCOMPARE(favourites_path(), file());
    }

    void without_a_home_nothing_is_read_or_written_data()
    {
        QTest::addColumn<bool>("unset");
        QTest::newRow("HOME unset") << true;
        QTest::newRow("HOME relative") << false;
    }

    void without_a_home_nothing_is_read_or_written()
    {
        QFETCH(bool, unset);
        QTemporaryDir cwd;
        const QString before = QDir::currentPath();
        QDir::setCurrent(cwd.path());
        if (unset)
            qunsetenv("HOME");
        else
            qputenv("HOME", "profile");
        QCOMPARE(favourites_path(), QString());
        QCOMPARE(names(load_favourites()), defaults);
        save_favourites(QVector<QColor>(favourite_count, Qt::red));
        QDir::setCurrent(before);
        QVERIFY(QDir(cwd.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        QVERIFY(!QFile::exists(QDir::rootPath() + ".vantrel_skeel"));
    }

    void reads_five_lines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("colours");
        const QStringList five{"#010203", "#a0b0c0", "#ff0000", "#000080", "#fafbfc"};
        QTest::newRow("line feeds") << QByteArray("#010203\n#A0B0C0\nred\nnavy\n#fafbfc\n") << five;
        QTest::newRow("carriage returns") << QByteArray("#010203\r\n#A0B0C0\r\nred\r\nnavy\r\n#fafbfc\r\n") << five;
        QTest::newRow("no final line feed, extra lines")
            << QByteArray("#010203\n#A0B0C0\nred\nnavy\n#fafbfc\n#111111\n") << five;
        QTest::newRow("three lines") << QByteArray("#010203\n#A0B0C0\nred\n")
                                     << QStringList{"#010203", "#a0b0c0", "#ff0000", "invalid", "invalid"};
        QTest::newRow("empty and bad lines") << QByteArray("\n#12345\nnot a colour\n#010203\n#0a0b0c\n")
                                             << QStringList{"invalid", "invalid", "invalid", "#010203", "#0a0b0c"};
        QTest::newRow("over-long line in pieces of 128")
            << QByteArray(128, 'x') + "#00ff00\n#010203\n#040506\n#070809\n"
            << QStringList{"invalid", "#00ff00", "#010203", "#040506", "#070809"};
    }

    void reads_five_lines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, colours);
        write_file(content);
        QCOMPARE(names(load_favourites()), colours);
    }

    void saves_lower_case_names_without_alpha_invalid_as_black()
    {
        save_favourites({QColor("#ABCDEF"), QColor(1, 2, 3, 4), QColor(), QColor(Qt::white), QColor("#00FF00")});
        QCOMPARE(read_file(), QByteArray("#abcdef\n#010203\n#000000\n#ffffff\n#00ff00\n"));
    }

    // A file that cannot be written in full must not replace the old one.
    void failed_save_keeps_the_previous_file()
    {
        write_file(defaults_written);
        rlimit old_limit;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
        rlimit small = old_limit;
        small.rlim_cur = 10;
        const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        save_favourites(QVector<QColor>(favourite_count, Qt::red));
        setrlimit(RLIMIT_FSIZE, &old_limit);
        std::signal(SIGXFSZ, old_handler);
        QCOMPARE(read_file(), defaults_written);
        QCOMPARE(QDir(home->path()).entryList(QDir::Files | QDir::Hidden), QStringList{".vantrel_skeel"});
    }

    void first_run_shows_and_then_writes_the_defaults()
    {
        {
            vantrel window;
            QCOMPARE(swatches(window), defaults);
            QCOMPARE(read_file(), QByteArray("(missing)"));
        }
        QCOMPARE(read_file(), defaults_written);
    }

    void short_file_comes_back_with_black_swatches()
    {
        write_file("#010203\n#A0B0C0\nred\n");
        { vantrel window; }
        QCOMPARE(read_file(), QByteArray("#010203\n#a0b0c0\n#ff0000\n#000000\n#000000\n"));
    }

    void right_click_edit_survives_a_restart()
    {
        {
            vantrel window;
            answer_colour_dialog([](QColorDialog *dialog) {
                dialog->setCurrentColor(QColor("#123456"));
                dialog->accept();
            });
            QTest::mousePress(window.findChild<ColorPalletItem *>("col_f2"), Qt::RightButton);
        }
        vantrel again;
        QCOMPARE(swatches(again), (QStringList{"#ff0c4d", "#123456", "#009ee2", "#55dde0", "#89fc00"}));
    }
};

QTEST_MAIN(tst_favourites)
#include "tst_favourites.moc"
