// The show through the window, with real video (libvlc under the
// private Xvfb and PulseAudio session) and the rig's virtual yo-yos. Built
// once per edition.
#include "player_test_support.h"

#include "virtual_yoyos.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <memory>

using namespace player_test;
using clock_type = std::chrono::steady_clock;

namespace {

constexpr rig::Transport edition_transport = bluetooth ? rig::Transport::bluetooth : rig::Transport::usb;

const QString clip = QStringLiteral(PLAYER_TEST_CLIP);
const QString transparent = QStringLiteral("background-color:rgba(0,0,0,0)");
const QString black = QStringLiteral("background-color:rgba(0,0,0,255);");

qint64 ms_between(clock_type::time_point from, clock_type::time_point to)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

// One change of the delay field during a show, with what the container
// looked like once the tick that made it had run.
struct Tick {
    QString text;
    clock_type::time_point at;
    QString container_style;
};

} // namespace

class tst_player_show : public QObject
{
    Q_OBJECT

    std::unique_ptr<rig::VirtualYoyos> yoyos;
    std::unique_ptr<tz3_player_main> window;
    std::vector<Tick> ticks;
    int yoyo_count = 0;

    Ui::tz3_player_main *ui() { return inside::ui(*window); }
    player_widget *surface() { return inside::player(*window); }

    std::size_t received(int yoyo) { return yoyos->received(yoyo).size(); }

    // A window with the clip loaded through its open button, `count` yo-yos
    // listed, and the delay field's changes recorded.
    void prepare(int count = 2)
    {
        yoyo_count = count;
        for (int i = 0; i < count; ++i)
            yoyos->add({edition_transport, std::to_string(i + 1), 1, 1});
        window = std::make_unique<tz3_player_main>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        inside::poll_yoyos(*window);
        QCOMPARE(ui()->lbl_yoyo_cnt->text(), QString::number(count));

        // Answers the file dialog once it is up.
        bool offered = false;
        QTimer poller;
        connect(&poller, &QTimer::timeout, [&] {
            for (QWidget *top : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QFileDialog *>(top);
                if (!dialog || !dialog->isVisible() || offered)
                    continue;
                offered = true;
                // Typed as an operator would: selectFile() leaves the name
                // field alone while it has the focus.
                if (auto *name = dialog->findChild<QLineEdit *>("fileNameEdit"))
                    name->setText(clip);
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            }
        });
        poller.start(100);
        QTest::mouseClick(ui()->btn_open, Qt::LeftButton);
        QVERIFY(offered);
        QVERIFY2(surface()->has_media(), "the video surface refused the clip");
        QCOMPARE(ui()->lbl_file_name->text(), QFileInfo(clip).fileName());

        ticks.clear();
        QLineEdit *field = ui()->txt_delay;
        connect(field, &QLineEdit::textChanged, field, [this](const QString &text) {
            const std::size_t index = ticks.size();
            ticks.push_back({text, clock_type::now(), QString()});
            // Read once the tick that changed the text has finished.
            QTimer::singleShot(0, ui()->txt_delay, [this, index] {
                if (index < ticks.size())
                    ticks[index].container_style = ui()->player->styleSheet();
            });
        });
    }

    void set_delay(const QString &text)
    {
        inside::set_delay(*window, text);
        ticks.clear();
    }

    void check_idle(const QString &delay)
    {
        QVERIFY(!inside::playing(*window));
        QVERIFY(ui()->player->isHidden());
        QVERIFY(ui()->main_content->isEnabled());
        QCOMPARE(ui()->btn_play->text(), QString(QChar(0xE05E)));
        QCOMPARE(ui()->txt_delay->text(), delay);
        QVERIFY(!inside::countdown_timer(*window));
    }

    void check_show_state()
    {
        QVERIFY(inside::playing(*window));
        QVERIFY(ui()->player->isVisible());
        QVERIFY(!ui()->main_content->isEnabled());
        QCOMPARE(ui()->btn_play->text(), QString());
        QCOMPARE(ui()->player->geometry(), QRect(QPoint(0, 0), window->size()));
    }

    void double_click_the_video()
    {
        QTest::mouseDClick(surface(), Qt::LeftButton, Qt::NoModifier, surface()->rect().center());
    }

    // Each yo-yo has exactly the reports `expected` (bytes), nothing more.
    void check_reports(const std::vector<std::vector<std::uint8_t>> &expected)
    {
        for (int id = 0; id < yoyo_count; ++id)
            QVERIFY(yoyos->wait_for_reports(id, expected.size(), 3000));
        QTest::qWait(200);
        for (int id = 0; id < yoyo_count; ++id) {
            const auto got = yoyos->received(id);
            QCOMPARE(got.size(), expected.size());
            for (std::size_t i = 0; i < expected.size(); ++i)
                QCOMPARE(hex(got[i].bytes), hex(expected[i]));
        }
    }

    void wait_for_video()
    {
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 1 && ticks.back().text == "0", 8000);
        QTRY_VERIFY_WITH_TIMEOUT(surface()->is_playing(), 3000);
    }

private slots:
    void initTestCase()
    {
        slot_binding_guard::install();
        QVERIFY2(QFileInfo::exists(clip), qPrintable(clip));
    }

    void init()
    {
        yoyos = std::make_unique<rig::VirtualYoyos>();
    }

    void cleanup()
    {
        if (window) {
            inside::set_delay(*window, "5");
            QVERIFY(inside::broadcast(*window).wait_for_tasks(10000));
        }
        window.reset();
        QThreadPool::globalInstance()->waitForDone(10000);
        yoyos.reset();
        PLAYER_TEST_NO_UNBOUND_SLOTS();
    }

    // D = 5: the start report (count 240) at Play, 4 3 2 1 0 a second apart
    // on a precise timer, black from the third tick, the video at 0; at the
    // video's own end nothing is sent and a double-click returns to Idle.
    void timeline_for_five_seconds()
    {
        prepare();
        const clock_type::time_point pressed = clock_type::now();
        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);

        check_show_state();
        QCOMPARE(ui()->txt_delay->text(), QString("5"));
        QCOMPARE(ui()->player->styleSheet(), transparent);
        QTimer *countdown = inside::countdown_timer(*window);
        QVERIFY(countdown);
        QVERIFY(countdown->isActive());
        QCOMPARE(countdown->interval(), 1000);
        QCOMPARE(countdown->timerType(), Qt::PreciseTimer);
        QVERIFY(!countdown->parent());

        for (int id = 0; id < yoyo_count; ++id)
            QVERIFY(yoyos->wait_for_reports(id, 1, 2000));
        const clock_type::time_point start_arrived = yoyos->received(0)[0].at;
        QCOMPARE(hex(yoyos->received(0)[0].bytes), hex(on_the_wire({0x02, 0xF0})));

        wait_for_video();
        QTest::qWait(50);
        QStringList texts;
        for (const Tick &tick : ticks)
            texts << tick.text;
        QCOMPARE(texts, QStringList({"4", "3", "2", "1", "0"}));
        QString report;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const qint64 after_play = ms_between(pressed, ticks[i].at);
            report += QString(" %1@%2").arg(ticks[i].text).arg(after_play);
            QVERIFY2(qAbs(after_play - qint64(1000 * (i + 1))) <= 40, qPrintable(report));
        }
        qInfo("ticks after Play (ms):%s", qPrintable(report));
        // The video starts D seconds after the start report went out.
        const qint64 video_after_report = ms_between(start_arrived, ticks.back().at);
        qInfo("video started %lld ms after the start report reached the yo-yo", video_after_report);
        QVERIFY2(qAbs(video_after_report - 5000) <= 40, qPrintable(QString::number(video_after_report)));

        QCOMPARE(ticks[0].container_style, transparent);
        QCOMPARE(ticks[1].container_style, transparent);
        QCOMPARE(ticks[2].container_style, black);
        QCOMPARE(ticks[3].container_style, black);

        check_show_state();
        QCOMPARE(ui()->txt_delay->text(), QString("0"));
        QVERIFY(!inside::countdown_timer(*window));

        // Ended: the video runs out by itself; nothing is sent.
        QTRY_VERIFY_WITH_TIMEOUT(!surface()->is_playing(), 6000);
        QTest::qWait(300);
        check_show_state();
        QCOMPARE(ui()->txt_delay->text(), QString("0"));
        double_click_the_video();
        check_idle("5");
        check_reports({on_the_wire({0x02, 0xF0})});
    }

    // A double-click 2.5 s after Play: one stop per yo-yo, no video, and the
    // field shows the accepted delay, not the remaining seconds.
    void abort_during_the_countdown()
    {
        prepare(3);
        set_delay("7");
        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        QTest::qWait(2500);
        check_show_state();
        QCOMPARE(ui()->txt_delay->text(), QString("5"));
        double_click_the_video();
        check_idle("7");

        check_reports({on_the_wire({0x02, 0x68, 0x01}), on_the_wire({0x03})});
        QTest::qWait(5000);
        QVERIFY(!surface()->is_playing());
        check_idle("7");
        QCOMPARE(received(0), std::size_t(2));
    }

    void stop_while_the_video_plays()
    {
        prepare();
        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        wait_for_video();
        check_show_state();
        double_click_the_video();
        check_idle("5");
        QTRY_VERIFY_WITH_TIMEOUT(!surface()->is_playing(), 2000);
        check_reports({on_the_wire({0x02, 0xF0}), on_the_wire({0x03})});
    }

    // Back in Idle a second Play starts a second show.
    void play_again_after_a_show()
    {
        prepare(1);
        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        QTest::qWait(300);
        double_click_the_video();
        check_idle("5");
        ticks.clear();
        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        check_show_state();
        QTest::qWait(1300);
        QCOMPARE(ticks.size(), std::size_t(1));
        QCOMPARE(ticks[0].text, QString("4"));
        double_click_the_video();
        check_idle("5");
        check_reports({on_the_wire({0x02, 0xF0}), on_the_wire({0x03}), on_the_wire({0x02, 0xF0}),
                       on_the_wire({0x03})});
    }

    void closing_during_a_show_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("counting") << "counting";
        QTest::newRow("playing") << "playing";
        QTest::newRow("ended") << "ended";
    }

    // Closing the window in Counting, Playing or Ended: exactly one stop per
    // yo-yo, delivered by the time the window is gone.
    void closing_during_a_show()
    {
        QFETCH(QString, state);
        prepare(3);
        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        if (state == "counting") {
            QTest::qWait(1500);
        } else {
            wait_for_video();
            if (state == "ended") {
                QTRY_VERIFY_WITH_TIMEOUT(!surface()->is_playing(), 6000);
                QTest::qWait(300);
            }
        }
        QVERIFY(inside::playing(*window));
        for (int id = 0; id < yoyo_count; ++id)
            QVERIFY(yoyos->wait_for_reports(id, 1, 2000));

        window->close();
        window.reset();
        for (int id = 0; id < yoyo_count; ++id)
            QVERIFY(yoyos->wait_for_reports(id, 2, bluetooth ? 300 : 0));
        QTest::qWait(300);
        for (int id = 0; id < yoyo_count; ++id) {
            const auto got = yoyos->received(id);
            QCOMPARE(got.size(), std::size_t(2));
            QCOMPARE(hex(got[1].bytes), hex(on_the_wire({0x03})));
        }
    }

    // A show in full-screen mode leaves the mode as it was.
    void show_in_full_screen()
    {
        prepare(1);
        QTest::mouseClick(ui()->btn_full_screen, Qt::LeftButton);
        QVERIFY(window->isFullScreen());
        QCOMPARE(ui()->btn_full_screen->text(), QString(QChar(0xE100)));
        QTest::qWait(300);

        QTest::mouseClick(ui()->btn_play, Qt::LeftButton);
        check_show_state();
        QTest::qWait(1200);
        double_click_the_video();
        check_idle("5");
        QVERIFY(window->isFullScreen());
        QCOMPARE(ui()->btn_full_screen->text(), QString(QChar(0xE100)));

        QTest::mouseClick(ui()->btn_full_screen, Qt::LeftButton);
        QVERIFY(!window->isFullScreen());
        QCOMPARE(ui()->btn_full_screen->text(), QString(QChar(0xE101)));
        check_reports({on_the_wire({0x02, 0xF0}), on_the_wire({0x03})});
    }
};

QTEST_MAIN(tst_player_show)
#include "tst_player_show.moc"
