// The colour tool itself among virtual yo-yos in a private X session, closed
// by the window manager's close from the states that tests/colour's exit
// test leaves out: Auto unticked, the about dialog up, a send to many yo-yos
// under way, and homes that hold no favourites. It ends at once with exit
// code 0, black reaching every yo-yo exactly when Auto is ticked.
#include "program_driver.h"

#include "startup.h"
#include "vantrel.h"
#include "virtual_yoyos.h"

#include <QtTest>

#include <sys/stat.h>

class tst_colour_exit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { startup::register_fonts(); }

    void closes_at_once_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("reports");
        const QStringList black{"colour 0 0 0"};
        QTest::newRow("Auto unticked") << "manual" << 3 << QStringList();
        QTest::newRow("no yo-yo at all") << "idle" << 0 << black;
        QTest::newRow("about dialog open, closed first") << "about" << 3 << black;
        QTest::newRow("during or right after a send to sixty-four yo-yos") << "sending" << 64
                                                            << QStringList{"colour 255 12 77", "colour 0 0 0"};
        QTest::newRow("HOME unset") << "no home" << 3 << black;
        QTest::newRow("home is a regular file") << "home is a file" << 3 << black;
        QTest::newRow("favourites file is a pipe") << "pipe" << 3 << black;
    }

    void closes_at_once()
    {
        QFETCH(QString, state);
        QFETCH(int, count);
        QFETCH(QStringList, reports);

        rig::VirtualYoyos yoyos;
        for (int i = 0; i < count; ++i)
            yoyos.add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
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
        ProgramDriver program(copy);
        program.process.setWorkingDirectory(home.path());
        QVERIFY(program.start(SKEEL_PROGRAM, environment));
        QTest::qWait(500); // a poll cycle or two have listed the yo-yos

        if (state == "manual") {
            program.click("chk_send_auto");
            QTest::qWait(300);
        } else if (state == "about") {
            program.click("btn_version_info");
            const unsigned about = program.wait_for_window("Version Infomation");
            QVERIFY(about);
            program.close(program.window.id);
            QVERIFY(!program.process.waitForFinished(1000));
            program.close(about);
            QTest::qWait(300);
        } else if (state == "sending") {
            program.click("col_f1");
        }

        const qint64 took = program.close_and_wait(10000);
        qInfo("closed (%s): the program ended %lld ms later", qPrintable(state), took);
        QVERIFY2(took >= 0, "the program did not end");
        QVERIFY2(took < 1500, qPrintable(QString::number(took)));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 0);

        for (int i = 0; i < count; ++i) {
            QStringList seen;
            for (const rig::Received &report : yoyos.received(i))
                seen << QString::fromStdString(rig::describe(report.bytes));
            QCOMPARE(seen, reports);
        }
        const QStringList left = QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        if (state == "no home" || state == "home is a file") {
            QCOMPARE(left, state == "no home" ? QStringList() : QStringList{"file"});
        } else {
            QCOMPARE(left, QStringList{".vantrel_skeel"});
            QVERIFY(QFileInfo(home.filePath(".vantrel_skeel")).isFile());
        }
    }
};

QTEST_MAIN(tst_colour_exit)
#include "tst_colour_exit.moc"
