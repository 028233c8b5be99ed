// The colour tool itself among virtual Bluetooth yo-yos on a screen of twice
// the usual density, closed by the window manager or SIGINT/SIGTERM from the
// states an operator leaves it in: it ends at once with exit code 0, black
// reaching every yo-yo exactly when Auto is ticked, the favourites saved; a
// second signal kills it at once. Its window is a scaled dialog that draws
// its glyphs with the fonts its own start-up registers.
#include "program_driver.h"
#include "rig_reports.h"

#include "vantrel.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_skeel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }

    void ends_at_once_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("ended_by");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("running_ms");
        QTest::addColumn<QStringList>("reports"); // "?": nothing to check at the yo-yos
        const QString wm = "window manager";
        const QStringList black{"colour 0 0 0"};
        // Before the first poll cycle has listed anything.
        QTest::addRow("as soon as it shows") << "idle" << wm << 2 << 0 << QStringList{"?"};
        QTest::addRow("in the middle of a poll cycle") << "idle" << wm << 2 << 1030 << black;
        QTest::addRow("SIGTERM") << "idle" << "SIGTERM" << 2 << 500 << black;
        QTest::addRow("a second signal") << "idle" << "SIGINT then SIGTERM" << 2 << 500 << QStringList{"?"};
        QTest::addRow("Auto unticked") << "manual" << wm << 3 << 500 << QStringList();
        QTest::addRow("no yo-yo at all, about dialog up") << "about" << wm << 0 << 500 << black;
        QTest::addRow("sending to sixty-four") << "sending" << wm << 64 << 500
                                               << QStringList{"colour 255 12 77", "colour 0 0 0"};
    }

    void ends_at_once()
    {
        QFETCH(QString, state);
        QFETCH(QString, ended_by);
        QFETCH(int, count);
        QFETCH(int, running_ms);
        QFETCH(QStringList, reports);
        rig::VirtualYoyos yoyos;
        for (int i = 0; i < count; ++i)
            yoyos.add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
        QTemporaryDir home;

        vantrel copy;
        copy.setAttribute(Qt::WA_DontShowOnScreen);
        copy.show();
        ProgramDriver program;
        program.process.setWorkingDirectory(home.path());
        QVERIFY(program.start(SKEEL, {}, home.path()));
        QCOMPARE(program.window.title, QString("Vantrel Bluetooth Skeel"));
        QCOMPARE(program.window.type, QString("_NET_WM_WINDOW_TYPE_DIALOG"));
        QCOMPARE(program.window.width, qRound(copy.width() * program.scale()));
        QTest::qWait(running_ms); // poll cycles list the yo-yos; nothing shows it from outside

        if (state == "manual") {
            program.click(copy.findChild<QWidget *>("chk_send_auto"));
            QTest::qWait(300);
        } else if (state == "sending") {
            program.click(copy.findChild<QWidget *>("col_f1"));
        } else if (state == "about") {
            program.check_font(copy.findChild<QWidget *>("btn_version_info"));
            program.check_about(copy.findChild<QWidget *>("btn_version_info"));
        }
        if (QTest::currentTestFailed())
            return;
        program.check_ends(ended_by, 1500);
        if (ended_by.contains(" then "))
            return; // killed: neither black nor favourites
        for (int i = 0; i < count && reports != QStringList{"?"}; ++i) {
            const QStringList seen = described(yoyos, i);
            // A colour that has yet to leave for its yo-yo when black comes is replaced by it.
            QVERIFY2(seen == reports || (state == "sending" && seen == reports.mid(1)), qPrintable(seen.join(", ")));
        }
        QVERIFY(QFileInfo(home.filePath(".vantrel_skeel")).isFile());
    }
};

PROGRAM_TEST_MAIN(tst_skeel)
#include "tst_skeel.moc"
