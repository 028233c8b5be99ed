// The colour tool itself among virtual Bluetooth yo-yos on a screen of twice
// the usual density, closed the way a window manager closes it from the
// states an operator leaves it in: it ends at once with exit code 0, black
// reaching every yo-yo exactly when Auto is ticked, the favourites kept
// wherever they can be; its window is a scaled dialog that draws its glyphs
// with the fonts its own start-up registers.
#include "program_driver.h"
#include "rig_reports.h"

#include "vantrel.h"
#include "version_dlg.h"

#include <QDir>
#include <QFontDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class tst_skeel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *font : {":/fonts/Entypo+.ttf", ":/fonts/talvek_logo.ttf", ":/fonts/tz3_other_icons.ttf"})
            QVERIFY(QFontDatabase::addApplicationFont(font) >= 0);
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
    }

    void closes_at_once_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("closed_by");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("running_ms");
        QTest::addColumn<QStringList>("reports");
        const QStringList black{"colour 0 0 0"};
        for (const char *closed_by : {"window manager"}) {
            // Before the first poll cycle has listed anything: nothing to check at the yo-yos.
            QTest::addRow("as soon as it shows, %s", closed_by) << "idle" << closed_by << 2 << 0 << QStringList{"?"};
            QTest::addRow("in the middle of a poll cycle, %s", closed_by) << "idle" << closed_by << 2 << 1030 << black;
            QTest::addRow("Auto unticked, %s", closed_by) << "manual" << closed_by << 3 << 500 << QStringList();
            QTest::addRow("no yo-yo at all, %s", closed_by) << "idle" << closed_by << 0 << 500 << black;
            QTest::addRow("about dialog up, %s", closed_by) << "about" << closed_by << 3 << 500 << black;
            QTest::addRow("sending to sixty-four, %s", closed_by)
                << "sending" << closed_by << 64 << 500 << QStringList{"colour 255 12 77", "colour 0 0 0"};
            QTest::addRow("HOME unset, %s", closed_by) << "no home" << closed_by << 3 << 500 << black;
            QTest::addRow("home is a regular file, %s", closed_by) << "home is a file" << closed_by << 3 << 500 << black;
            QTest::addRow("favourites file is a pipe, %s", closed_by) << "pipe" << closed_by << 3 << 500 << black;
        }
    }

    void closes_at_once()
    {
        QFETCH(QString, state);
        QFETCH(QString, closed_by);
        QFETCH(int, count);
        QFETCH(int, running_ms);
        QFETCH(QStringList, reports);
        rig::VirtualYoyos yoyos;
        for (int i = 0; i < count; ++i)
            yoyos.add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("QT_AUTO_SCREEN_SCALE_FACTOR", "0");
        if (state == "no home") {
            environment.remove("HOME");
        } else if (state == "home is a file") {
            QFile file(home.filePath("file"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            environment.insert("HOME", file.fileName());
        } else if (state == "pipe") {
            QCOMPARE(mkfifo(QFile::encodeName(home.filePath(".vantrel_skeel")).constData(), 0600), 0);
        }

        vantrel copy;
        copy.setAttribute(Qt::WA_DontShowOnScreen);
        copy.show();
        ProgramDriver program;
        program.process.setWorkingDirectory(home.path());
        QVERIFY(program.start(SKEEL, environment));
        QCOMPARE(program.window.title, QString("Vantrel Bluetooth Skeel"));
        QCOMPARE(program.window.type, QString("_NET_WM_WINDOW_TYPE_DIALOG"));
        QCOMPARE(program.window.width, qRound(copy.width() * program.scale()));
        QTest::qWait(running_ms); // poll cycles list the yo-yos; nothing shows it from outside

        if (state == "manual") {
            program.click(copy.findChild<QWidget *>("chk_send_auto"));
            QTest::qWait(300);
        } else if (state == "sending") {
            program.click(copy.findChild<QWidget *>("col_f1"));
        } else if (count == 0) {
            const auto about = program.likeness(copy.findChild<QWidget *>("btn_version_info"), program.window.id);
            QVERIFY2(about.drawn_with_font(), qPrintable(QString("Entypo+ %1, fallback %2")
                                                              .arg(about.to_font).arg(about.to_fallback)));
        } else if (state == "about") {
            program.click(copy.findChild<QWidget *>("btn_version_info"));
            const unsigned about = program.wait_for_window("Version Infomation");
            QVERIFY(about);
            version_dlg about_copy;
            about_copy.setAttribute(Qt::WA_DontShowOnScreen);
            about_copy.show();
            for (const char *glyph : {"label_7", "label_9"}) {
                const auto drawn = program.likeness(about_copy.findChild<QWidget *>(glyph), about);
                QVERIFY2(drawn.drawn_with_font(),
                         qPrintable(QString("%1: font %2, fallback %3").arg(glyph).arg(drawn.to_font).arg(drawn.to_fallback)));
            }
            // The modal dialog holds the window behind it.
            program.close();
            QVERIFY(!program.process.waitForFinished(1000));
            program.close(about);
        }

        QElapsedTimer closing;
        closing.start();
        if (closed_by == "window manager")
            program.close();
        QVERIFY2(program.process.waitForFinished(10000), "the program did not end");
        QVERIFY2(closing.elapsed() < 1500, qPrintable(QString::number(closing.elapsed())));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 0);
        for (int i = 0; i < count && reports != QStringList{"?"}; ++i)
            QCOMPARE(described(yoyos, i), reports);
        const QStringList left = QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        if (state == "no home" || state == "home is a file") {
            QCOMPARE(left, state == "no home" ? QStringList() : QStringList{"file"});
        } else {
            QCOMPARE(left, QStringList{".vantrel_skeel"});
            QVERIFY(QFileInfo(home.filePath(".vantrel_skeel")).isFile());
        }
    }
};

PROGRAM_TEST_MAIN(tst_skeel)
#include "tst_skeel.moc"
