// The colour tool itself among virtual Bluetooth yo-yos on a screen of twice
// the usual density, closed by the window manager or SIGINT/SIGTERM from the
// states an operator leaves it in.
#include "program_driver.h"
#include "rig_reports.h"

#include "vantrel.h"

#include <QCheckBox>
#include <QLabel>
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
        QTest::addColumn<QStringList>("reports"); // "?": nothing to check at the yo-yos
        const QString wm = "window manager";
        const QStringList black{"colour 0 0 0"};
        // Perhaps before the first poll cycle has listed anything.
        QTest::addRow("as soon as it shows") << "shown" << wm << 2 << QStringList{"?"};
        // The yo-yo plugged in last is in the list that the closing uses.
        QTest::addRow("right after a poll cycle listed one more yo-yo") << "plugged" << wm << 2 << black;
        QTest::addRow("SIGTERM") << "listed" << "SIGTERM" << 2 << black;
        QTest::addRow("a second signal") << "listed" << "SIGINT then SIGTERM" << 2 << QStringList{"?"};
        QTest::addRow("Auto unticked") << "manual" << wm << 3 << QStringList();
        QTest::addRow("about dialog up") << "about" << wm << 2 << black;
        QTest::addRow("sending to sixty-four") << "sending" << wm << 64
                                               << QStringList{"colour 255 12 77", "colour 0 0 0"};
    }

    void ends_at_once()
    {
        QFETCH(QString, state);
        QFETCH(QString, ended_by);
        QFETCH(int, count);
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

        auto *shown_count = copy.findChild<QLabel *>("lbl_con");
        const auto wait_for_count = [&](int listed) {
            program.check_draws(
                shown_count, [&](bool vary) { shown_count->setText(QString::number(listed + vary)); }, "count");
        };
        if (state != "shown")
            wait_for_count(count);
        if (state == "plugged") {
            yoyos.add({rig::Transport::bluetooth, std::to_string(++count), -1, 1});
            wait_for_count(count);
        } else if (state == "manual") {
            auto *auto_tick = copy.findChild<QCheckBox *>("chk_send_auto");
            program.click(auto_tick);
            program.check_draws(auto_tick, [&](bool vary) { auto_tick->setChecked(vary); }, "Auto");
        } else if (state == "sending") {
            program.click(copy.findChild<QWidget *>("col_f1"));
        } else if (state == "about") {
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
