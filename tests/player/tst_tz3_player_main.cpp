// The show player's window among the rig's virtual yo-yos, with real video in
// the private X session. Built once per edition.
#include "modal_answer.h"
#include "player_access.h"
#include "player_widget.h"
#include "process_footprint.h"
#include "rig_reports.h"
#include "slow_opens.h"
#include "unbound_slots.h"
#include "vlc_ledger.h"
#include "xdotool.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QScreen>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>

#include <vlc/vlc.h>

namespace {

using player_edition::bluetooth;

const QString play_glyph(QChar(0xE05E));
const QString leave_full_screen(QChar(0xE100));
const QString transparent = QStringLiteral("background-color:rgba(0,0,0,0)");
const QString black = QStringLiteral("background-color:rgba(0,0,0,255);");

enum Fault { healthy, silent, unplugged, refused, failing, pulled, other_edition };
struct Yoyo {
    std::string serial;
    Fault fault = healthy;
    int records = 1;
};
using Yoyos = std::vector<Yoyo>;

// The delay field's change at a tick, as the operator saw it after the tick.
struct Tick {
    QString text;
    qint64 after_play_ms;
    QString container;
};

// The fewest of five readings 50 ms apart: discovery's enumeration holds a
// descriptor for moments at a time, which a growth from show to show outlasts.
process_footprint settled_footprint()
{
    process_footprint least = process_footprint::now();
    for (int reading = 0; reading < 4; ++reading) {
        QTest::qWait(50);
        const process_footprint read = process_footprint::now();
        least = {qMin(least.resident_kib, read.resident_kib), qMin(least.threads, read.threads),
                 qMin(least.descriptors, read.descriptors)};
    }
    return least;
}

} // namespace

Q_DECLARE_METATYPE(Yoyos)

class tst_tz3_player_main : public QObject
{
    Q_OBJECT

    std::unique_ptr<rig::VirtualYoyos> yoyos;
    std::unique_ptr<tz3_player_main> window;

    Ui::tz3_player_main *ui() { return inside::ui(*window); }
    player_widget *surface() { return inside::player(*window); }

    void open_window(const Yoyos &setup, const QString &listed)
    {
        for (const Yoyo &y : setup)
            yoyos->add({y.fault == other_edition ? other_transport : edition_transport, y.serial,
                        y.fault == silent || y.records > 1 ? -1 : 1, y.records});
        window = std::make_unique<tz3_player_main>();
        // The first discovery comes a second after start.
        QCOMPARE(ui()->lbl_yoyo_cnt->text(), QString("0"));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        inside::poll_yoyos(*window);
        QTRY_COMPARE(ui()->lbl_yoyo_cnt->text(), listed);
    }

    QTableWidget *panel_table() { return window->findChild<QTableWidget *>("yoyo_table"); }

    // The panel's rows as displayed: serial, report and outcome of each.
    QStringList panel_rows()
    {
        QStringList rows;
        QTableWidget *table = panel_table();
        for (int row = 0; table && row < table->rowCount(); ++row)
            rows << QStringList{table->item(row, 0)->text(), table->item(row, 2)->text(),
                                table->item(row, 3)->text()}.join(" | ");
        return rows;
    }

    // The count as the operator sees it on the screen, through whatever lies
    // over it: does any of it show the warning's red?
    bool count_warns()
    {
        const QRect at(ui()->lbl_yoyo_cnt->mapTo(window.get(), QPoint(0, 0)), ui()->lbl_yoyo_cnt->size());
        const QImage seen = window->screen()->grabWindow(window->winId(), at.x(), at.y(), at.width(), at.height())
                                .toImage();
        for (int y = 0; y < seen.height(); ++y)
            for (int x = 0; x < seen.width(); ++x) {
                const QColor c = seen.pixelColor(x, y);
                if (c.red() > 160 && c.red() > 2 * c.green() && c.red() > 2 * c.blue())
                    return true;
            }
        return false;
    }

    // Through the open button and its dialog; nullptr cancels the dialog.
    void choose(const char *file)
    {
        answer_modal<QFileDialog>([file](QFileDialog *dialog) {
            if (!file)
                return dialog->reject();
            dialog->findChild<QLineEdit *>("fileNameEdit")->setText(QStringLiteral(MEDIA_DIR "/") + file);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QTest::mouseClick(ui()->btn_open, Qt::LeftButton);
    }

    // Typed as a keyboard delivers it, one character per key event.
    void type_delay(const QString &text)
    {
        QLineEdit *field = ui()->txt_delay;
        QTest::mouseClick(field, Qt::LeftButton);
        QVERIFY(field->hasFocus());
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    // A show covers the whole window with the container and holds the controls.
    void check_state(bool in_show, const QString &delay = QString())
    {
        QCOMPARE(inside::playing(*window), in_show);
        QCOMPARE(ui()->player->isVisible(), in_show);
        QCOMPARE(ui()->main_content->isEnabled(), !in_show);
        QCOMPARE(ui()->btn_play->text(), in_show ? QString() : play_glyph);
        if (in_show)
            QCOMPARE(ui()->player->geometry(), QRect(QPoint(0, 0), window->size()));
        else
            QCOMPARE(ui()->txt_delay->text(), delay);
    }

    // A window manager gives a full-screen window the whole screen; the
    // session has none, so the test does what it would, until Qt agrees.
    void cover_the_screen()
    {
        const QRect screen = window->screen()->geometry();
        const QString id = QString::number(window->winId());
        QVERIFY(QTest::qWaitFor([&] {
            xdotool({"windowmove", id, QString::number(screen.x()), QString::number(screen.y()), "windowsize", id,
                     QString::number(screen.width()), QString::number(screen.height())});
            return QTest::qWaitFor([&] { return window->geometry() == screen; }, 200);
        }, 10000));
    }

private slots:
    void initTestCase() { unbound_slots::watch(); }

    void init() { yoyos = std::make_unique<rig::VirtualYoyos>(); }

    void cleanup()
    {
        if (window) {
            // Process-wide: the delay and the full-screen mode.
            inside::set_delay(*window, "5");
            if (ui()->btn_full_screen->text() == leave_full_screen)
                ui()->btn_full_screen->click();
            QVERIFY(inside::broadcast(*window).wait_for_tasks(10000));
        }
        window.reset();
        yoyos.reset();
        QCOMPARE(unbound_slots::take(), QString());
    }

    void label_and_focus()
    {
        open_window({}, "0");
        auto *edition = window->findChild<QLabel *>("label_2");
        QCOMPARE(edition ? edition->text() : QString(), QString(bluetooth ? "Bluetooth Edition" : ""));
        // Tab and Space never reach a control: everything takes the focus
        // only when clicked.
        for (QWidget *widget : ui()->main_content->findChildren<QWidget *>())
            QVERIFY2(!(widget->focusPolicy() & Qt::TabFocus), qPrintable(widget->objectName()));
    }

    void delay_text_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("left_by_play");
        QTest::addColumn<QString>("shown");
        const QString before = "17";
        for (bool by_play : {false, true}) {
            const char *how = by_play ? "Play" : "Return";
            QTest::addRow("4, %s", how) << "4" << by_play << "5";
            QTest::addRow("letters, %s", how) << "abc" << by_play << before;
        }
        QTest::addRow("5") << "5" << false << "5";
        QTest::addRow("1200") << "1200" << false << "1200";
        QTest::addRow("1201") << "1201" << false << "1200";
        QTest::addRow("leading zeros, base 10") << "0010" << false << "10";
        QTest::addRow("spaces around") << " 7 " << false << "7";
        QTest::addRow("decimal") << "7.5" << false << before;
        QTest::addRow("full-width digits") << QString::fromUtf8("\uFF11\uFF10") << false << before;
    }

    // Each end of editing settles the field on an accepted delay; Return
    // also takes the focus out of the field.
    void delay_text()
    {
        QFETCH(QString, typed);
        QFETCH(bool, left_by_play);
        QFETCH(QString, shown);
        open_window({}, "0");
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        inside::set_delay(*window, "17");
        type_delay(typed);
        if (left_by_play)
            QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        else
            QTest::keyClick(ui()->txt_delay, Qt::Key_Return);
        QCOMPARE(ui()->txt_delay->text(), shown);
        QVERIFY(!ui()->txt_delay->hasFocus());
        if (!left_by_play)
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(window.get()));
    }

    void reports_reach_the_listed_yoyos_data()
    {
        QTest::addColumn<Yoyos>("setup");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QList<int>>("reports");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("tooltip");

        // The panel's rows once the stop is out, as patterns.
        const QString took = bluetooth ? "written" : "answered after \\d+ ms";
        const auto row = [](const char *serial, const QString &outcome) {
            return QString("%1 \\| stop \\| %2").arg(serial, outcome);
        };
        QTest::addRow("serial filter") << Yoyos{{"0123"}, {"1203"}, {""}, {"A0"}, {"0"}} << "3"
                                       << QList<int>{0, 1, 1, 1, 0} << "3"
                                       << QStringList{row("1203", took), row("", took), row("A0", took)}
                                       << "3 of 3 yo-yos took the stop";
        // The rig's yo-yos listed more than once never answer.
        const QString unanswered = bluetooth ? "written" : "no answer within 1 s";
        QTest::addRow("one report per enumeration record")
            << Yoyos{{"7", healthy, 3}, {"8"}} << "4" << QList<int>{3, 1} << "4"
            << QStringList{row("7", unanswered), row("7", unanswered), row("7", unanswered), row("8", took)}
            << (bluetooth ? "4 of 4 yo-yos took the stop"
                          : "3 of 4 yo-yos did not take the stop: 7 (no answer within 1 s), "
                            "7 (no answer within 1 s), 7 (no answer within 1 s)");
        QTest::addRow("the last yo-yo unplugged") << Yoyos{{"1", unplugged}} << "1" << QList<int>{0} << "0"
                                                  << QStringList()
                                                  << "1 of 1 yo-yos did not take the stop: 1 (could not be opened)";
        QTest::addRow("the other edition's yo-yo") << Yoyos{{"1", other_edition}} << "0" << QList<int>{0} << "0"
                                                   << QStringList() << "";
        // The unplugged and pulled-out yo-yos leave the panel, not the tooltip.
        const QString silent_one = bluetooth ? "" : "5 (no answer within 1 s), ";
        QTest::addRow("faults beside healthy yo-yos")
            << Yoyos{{"1"}, {"2", unplugged}, {"3", failing}, {"4", pulled}, {"5", silent}, {"6", refused}, {"7"}}
            << "7" << QList<int>{1, 0, 0, 0, 1, 0, 1} << "5"
            << QStringList{row("1", took), row("3", "write failed"),
                           row("5", unanswered), row("6", "could not be opened"),
                           row("7", took)}
            << QString::number(bluetooth ? 4 : 5) + " of 7 yo-yos did not take the stop: 2 (could not be opened), "
                   "3 (write failed), 4 (write failed), " + silent_one + "6 (could not be opened)";
    }

    // One stop report to each listed yo-yo and to nobody else, handed over at
    // once; a yo-yo that fails or never answers costs only itself. The panel,
    // opened by a click on the count, shows each listed yo-yo's outcome, and
    // the count warns when one did not take the report.
    void reports_reach_the_listed_yoyos()
    {
        QFETCH(Yoyos, setup);
        QFETCH(QString, listed);
        QFETCH(QList<int>, reports);
        QFETCH(QString, left);
        QFETCH(QStringList, rows);
        QFETCH(QString, tooltip);
        open_window(setup, listed);
        QTest::mouseClick(ui()->lbl_yoyo_cnt, Qt::LeftButton);
        QVERIFY(panel_table() && panel_table()->isVisible());
        QCOMPARE(panel_table()->window()->windowTitle(), QString("Yo-yos"));
        if (!setup.empty() && setup[0].fault != other_edition)
            QCOMPARE(panel_table()->item(0, 3)->text(), QString("\u2014"));
        for (int id = 0; id < int(setup.size()); ++id) {
            switch (setup[id].fault) {
            case unplugged: yoyos->unplug(id); break;
            case refused: yoyos->refuse_open(id, true); break;
            case failing: yoyos->fail_writes(id, EIO); break;
            case pulled: yoyos->unplug_during_next_write(id); break;
            default: break;
            }
        }
        QElapsedTimer clock;
        clock.start();
        inside::send_stop(*window);
        const qint64 handed_over = clock.elapsed();
        inside::poll_yoyos(*window);
        QVERIFY2(handed_over < 500, qPrintable(QString::number(handed_over)));
        for (int id = 0; id < int(setup.size()); ++id) {
            if (setup[id].fault == healthy)
                QVERIFY2(yoyos->wait_for_reports(id, reports[id], int(900 - clock.elapsed())),
                         "a healthy yo-yo waited for another one");
        }
        QVERIFY(inside::broadcast(*window).wait_for_tasks(30000));
        for (int id = 0; id < int(setup.size()); ++id) {
            yoyos->wait_for_reports(id, reports[id], 1000);
            QCOMPARE(described(*yoyos, id), QStringList(QVector<QString>(reports[id], "stop").toList()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(ui()->lbl_yoyo_cnt->text(), left, 2500);
        QTRY_COMPARE(ui()->lbl_yoyo_cnt->toolTip(), tooltip);
        QTRY_COMPARE(count_warns(), tooltip.contains("did not"));
        const QStringList shown = panel_rows();
        QCOMPARE(shown.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            QVERIFY2(QRegularExpression("^" + rows[i] + "$").match(shown[i]).hasMatch(), qPrintable(shown[i]));
            QVERIFY(QTime::fromString(panel_table()->item(i, 4)->text(), "HH:mm:ss").isValid());
        }
    }

    void full_screen_data()
    {
        QTest::addColumn<bool>("maximised");
        QTest::addRow("from a normal window") << false;
        QTest::addRow("from a maximised window") << true;
    }

    // The button enters and leaves; leaving restores the window as it was.
    // The video container covers the window at every size.
    void full_screen()
    {
        QFETCH(bool, maximised);
        open_window({}, "0");
        window->setGeometry(120, 90, 640, 500);
        QTRY_COMPARE(window->geometry(), QRect(120, 90, 640, 500));
        if (maximised) {
            window->showMaximized();
            QTRY_VERIFY(window->isMaximized());
        }

        ui()->btn_full_screen->click();
        QVERIFY(window->isFullScreen());
        QCOMPARE(ui()->btn_full_screen->text(), leave_full_screen);
        cover_the_screen();
        QCOMPARE(ui()->player->geometry(), QRect(QPoint(0, 0), window->size()));

        ui()->btn_full_screen->click();
        QVERIFY(!window->isFullScreen());
        QCOMPARE(window->isMaximized(), maximised);
        QCOMPARE(ui()->btn_full_screen->text(), QString(QChar(0xE101)));
        if (!maximised)
            QTRY_COMPARE(window->geometry(), QRect(120, 90, 640, 500));
        QTRY_COMPARE(ui()->player->geometry(), QRect(QPoint(0, 0), window->size()));
    }

    void show_data()
    {
        QTest::addColumn<QString>("delay");
        QTest::addColumn<QString>("until");
        QTest::addColumn<QStringList>("reports");
        QTest::addRow("runs to its end, double-click") << "5" << "ended" << QStringList{"start 240"};
        QTest::addRow("double-click while playing") << "5" << "playing" << QStringList{"start 240", "stop"};
        // The count takes three bytes.
        QTest::addRow("double-click while counting") << "1200" << "counting" << QStringList{"start 71940", "stop"};
    }

    // Play does nothing before a video is open, and a cancelled dialog or a
    // file that cannot be played keeps the one opened before. Then Play sends
    // the start report with (D - 1) x 60 to every yo-yo, the field counts
    // down a second a tick, the container turns black from D - 3 on and the
    // video plays at 0. A double-click aborts or stops the show, with a stop
    // report unless the video had ended by itself.
    void show()
    {
        QFETCH(QString, delay);
        QFETCH(QString, until);
        QFETCH(QStringList, reports);
        open_window({{"1"}, {"2"}}, "2");
        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        check_state(false, "5");
        choose("clip_2s.mp4");
        choose(nullptr);
        choose("notes.txt");
        QCOMPARE(ui()->lbl_file_name->text(), QString("clip_2s.mp4"));
        inside::set_delay(*window, delay);
        const int d = delay.toInt();

        std::vector<Tick> ticks;
        QElapsedTimer since_play;
        // Goes with the ticks: the field changes again in cleanup().
        QObject watch;
        connect(ui()->txt_delay, &QLineEdit::textChanged, &watch, [&](const QString &text) {
            ticks.push_back({text, since_play.elapsed(), QString()});
            QTimer::singleShot(0, &watch, [&, at = ticks.size() - 1] {
                ticks[at].container = ui()->player->styleSheet();
            });
        });
        since_play.start();
        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        check_state(true);
        QCOMPARE(ui()->player->styleSheet(), transparent);
        QCOMPARE(ui()->txt_delay->text(), delay);
        for (int id = 0; id < 2; ++id)
            QVERIFY(yoyos->wait_for_reports(id, 1, 2000));

        const std::size_t counted = until == "counting" ? 2 : std::size_t(d);
        QTRY_COMPARE_WITH_TIMEOUT(ticks.size(), counted, int(counted + 2) * 1000);
        if (until != "counting")
            QTRY_VERIFY_WITH_TIMEOUT(surface()->is_playing(), 1000);
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const int r = d - 1 - int(i);
            QCOMPARE(ticks[i].text, QString::number(r));
            QVERIFY2(qAbs(ticks[i].after_play_ms - 1000 * qint64(i + 1)) < 150,
                     qPrintable(QString("tick %1 at %2 ms").arg(r).arg(ticks[i].after_play_ms)));
            if (r > 0)
                QCOMPARE(ticks[i].container, r <= d - 3 ? black : transparent);
        }
        check_state(true);

        if (until == "ended") {
            QTRY_VERIFY_WITH_TIMEOUT(!surface()->is_playing(), 6000);
            check_state(true);
            QCOMPARE(ui()->txt_delay->text(), QString("0"));
        }
        QTest::mouseDClick(surface(), Qt::LeftButton, Qt::NoModifier, surface()->rect().center());
        check_state(false, delay);
        // Nothing of the aborted show goes on.
        QVERIFY(!QTest::qWaitFor([&] { return ui()->txt_delay->text() != delay || surface()->is_playing(); }, 1200));
        QVERIFY(inside::broadcast(*window).wait_for_tasks(5000));
        for (int id = 0; id < 2; ++id) {
            yoyos->wait_for_reports(id, reports.size(), 1000);
            QCOMPARE(described(*yoyos, id), reports);
        }
        // The rig reads either framing; each edition writes its own.
        for (const rig::Received &report : yoyos->received())
            QCOMPARE(int(report.bytes.size()), bluetooth ? 66 : 65);
    }

    // A yo-yo that misses the start turns the count red while the controls
    // are held and still show through the container; the panel's failed row
    // stands out in a light palette and a dark one. The stop that reaches
    // both clears it. Closing with the panel open ends the show as before.
    void warning_on_the_count()
    {
        open_window({{"1"}, {"2"}}, "2");
        choose("clip_2s.mp4");
        yoyos->fail_writes(1, EIO);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window->windowHandle(), Qt::Key_Y, Qt::ControlModifier);
        QTRY_VERIFY(panel_table() && panel_table()->isVisible());
        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        QTRY_COMPARE(ui()->lbl_yoyo_cnt->toolTip(), QString("1 of 2 yo-yos did not take the start: 2 (write failed)"));
        QCOMPARE(window->took_last_report(), 1);
        QCOMPARE(ui()->player->styleSheet(), transparent);
        QVERIFY(!ui()->main_content->isEnabled());
        QTRY_VERIFY(count_warns());
        QCOMPARE(panel_rows().at(1), QString("2 | start 240 | write failed"));

        QPalette dark = panel_table()->palette();
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::AlternateBase, QPalette::Window})
            dark.setColor(role, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        for (const QPalette &palette : {panel_table()->palette(), dark}) {
            panel_table()->setPalette(palette);
            const QImage drawn = panel_table()->viewport()->grab().toImage();
            const auto at = [&](int row) {
                return drawn.pixelColor(panel_table()->visualItemRect(panel_table()->item(row, 2)).topLeft()
                                        + QPoint(2, 2));
            };
            const QColor healthy = at(0), failed = at(1);
            const int apart = qAbs(healthy.red() - failed.red()) + qAbs(healthy.green() - failed.green())
                              + qAbs(healthy.blue() - failed.blue());
            QVERIFY2(apart > 150, qPrintable(healthy.name() + " beside " + failed.name()));
        }

        yoyos->fail_writes(1, 0);
        QTest::mouseDClick(surface(), Qt::LeftButton, Qt::NoModifier, surface()->rect().center());
        QTRY_COMPARE(ui()->lbl_yoyo_cnt->toolTip(), QString("2 of 2 yo-yos took the stop"));
        QTRY_VERIFY(!count_warns());
        QCOMPARE(window->took_last_report(), 2);

        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        window.reset();
        QCOMPARE(described(*yoyos, 0), (QStringList{"start 240", "stop", "start 240", "stop"}));
        QCOMPARE(described(*yoyos, 1), (QStringList{"stop", "start 240", "stop"}));
    }

    // libvlc's play call, seen on its way, comes when the window planned the
    // video's start, D seconds after the yo-yos' start reports were written
    // (after the last of their opens, made slow), not after the hand-over:
    // not at the last tick, which wakes early on purpose, nor a tick early or
    // late; a busy machine may hold up one show's call by some milliseconds,
    // but not the middle one of three. Nothing of libvlc's runs before the
    // reports are out: the first show's held player was stopped, so it is
    // readied again then.
    void video_starts_when_planned()
    {
        if (!QCoreApplication::arguments().contains(QTest::currentTestFunction()))
            QSKIP("timed when named alone (ctest's tst_video_start), with no other test beside it");
        open_window({{"1"}, {"2"}, {"3"}, {"4"}}, "4");
        choose("clip_2s.mp4");
        libvlc_media_player_stop(vlc_ledger::now().players.last());
        std::vector<qint64> late_us;
        for (int show = 0; show < 3; ++show) {
            const int calls = vlc_ledger::now().play_calls.size();
            slow_opens::set(10);
            QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(surface()->is_playing(), 8000);
            QCOMPARE(slow_opens::returned.size(), std::size_t(4));
            const qint64 written_ns = std::chrono::nanoseconds(slow_opens::returned.back().time_since_epoch()).count();
            const qint64 from_ns = inside::video_due(*window).deadlineNSecs() - 5000000000;
            QVERIFY(from_ns >= written_ns && from_ns <= written_ns + 100000000);
            const vlc_ledger ledger = vlc_ledger::now();
            QVERIFY(ledger.play_calls.size() > calls && ledger.play_calls[calls] >= written_ns);
            late_us.push_back((ledger.play_calls.last() - from_ns - 5000000000) / 1000);
            QTest::mouseDClick(surface(), Qt::LeftButton, Qt::NoModifier, surface()->rect().center());
            QVERIFY(inside::broadcast(*window).wait_for_tasks(5000));
        }
        std::sort(late_us.begin(), late_us.end());
        QVERIFY2(late_us[0] >= -1000 && late_us[1] <= 5000,
                 qPrintable(QString("play calls %1, %2, %3 us after the planned start")
                                .arg(late_us[0]).arg(late_us[1]).arg(late_us[2])));
    }

    // Ten shows, ended every way, keep the one media player, held between
    // shows, and grow neither threads, descriptors nor (much) memory.
    void show_day()
    {
        open_window({{"1"}, {"2"}}, "2");
        choose("clip_2s.mp4");
        const int players = vlc_ledger::now().players.size();
        libvlc_media_player_t *player = vlc_ledger::now().players.last();
        process_footprint second;
        const QStringList endings{"abort", "abort", "stop", "abort", "abort", "end", "abort", "abort", "abort", "abort"};
        for (int i = 0; i < endings.size(); ++i) {
            QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
            if (endings[i] != "abort")
                QTRY_VERIFY_WITH_TIMEOUT(surface()->is_playing(), 8000);
            if (endings[i] == "end")
                QTRY_VERIFY_WITH_TIMEOUT(!surface()->is_playing(), 6000);
            QTest::mouseDClick(surface(), Qt::LeftButton, Qt::NoModifier, surface()->rect().center());
            check_state(false, "5");
            QVERIFY(inside::broadcast(*window).wait_for_tasks(5000));
            const vlc_ledger ledger = vlc_ledger::now();
            QCOMPARE(ledger.players.size(), players);
            QCOMPARE(ledger.live.size(), 1);
            QTRY_COMPARE(libvlc_media_player_get_state(player), libvlc_Paused);
            if (i == 1)
                second = settled_footprint();
        }
        // One or two may be in passing; a leak of one a show makes eight.
        const process_footprint last = settled_footprint();
        QVERIFY2(last.threads <= second.threads + 2 && last.descriptors <= second.descriptors + 2
                     && last.resident_kib <= second.resident_kib * 3 / 2,
                 qPrintable(QString("threads, descriptors, KiB after the second show: %1, %2, %3; after the last: "
                                    "%4, %5, %6").arg(second.threads).arg(second.descriptors).arg(second.resident_kib)
                                .arg(last.threads).arg(last.descriptors).arg(last.resident_kib)));

        window.reset();
        QCOMPARE(vlc_ledger::now().left_over(), QString());
    }
};

QTEST_MAIN(tst_tz3_player_main)
#include "tst_tz3_player_main.moc"
