#include "player_widget.h"
#include "vlc_ledger.h"

#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <vlc/vlc.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <memory>

namespace {

QString sample(const char *name)
{
    return QStringLiteral(MEDIA_DIR "/") + QLatin1String(name);
}

libvlc_media_player_t *last_player()
{
    const auto players = ledger::created_players();
    return players.isEmpty() ? nullptr : players.last().player;
}

bool has_video_output(libvlc_media_player_t *player)
{
    return ledger::is_live(player) && libvlc_media_player_has_vout(player) > 0;
}

// True when the widget's area of the screen shows the colour bars of the
// test clip: the surface itself is black, the desktop behind it grey.
bool shows_picture(QWidget *widget)
{
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    const QImage image = widget->screen()
                             ->grabWindow(0, origin.x(), origin.y(), widget->width(), widget->height())
                             .toImage();
    int vivid = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            const QColor colour = image.pixelColor(x, y);
            const int high = qMax(colour.red(), qMax(colour.green(), colour.blue()));
            const int low = qMin(colour.red(), qMin(colour.green(), colour.blue()));
            vivid += high - low > 128;
        }
    }
    return vivid > image.width() * image.height() / 16 / 10;
}

// A double-click of the first button at a point of the screen, produced by
// the X server as if it came from a mouse, so that it is delivered to
// whichever window, Qt's or libvlc's, would get a real one.
void x_double_click(const QPoint &global)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root,
                        static_cast<int16_t>(global.x()), static_cast<int16_t>(global.y()), 0);
    for (int click = 0; click < 2; ++click) {
        xcb_test_fake_input(connection, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(connection, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
}

} // namespace

class player_widget_test : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Runs first: the libvlc instance is made once per process.
    void instance_is_retried_then_kept();

    void open_accepts_playable_file_data();
    void open_accepts_playable_file();
    void open_refuses_unusable_file_data();
    void open_refuses_unusable_file();
    void play_without_media_does_nothing();
    void playback_shows_video_in_surface();
    void end_of_video_reports_once();
    void stop_releases_player();
    void restart_releases_only_replaced_player();
    void open_during_playback_releases_player();
    void double_click_reaches_widget_while_drawing();
    void destruction_during_playback_releases_everything();

private:
    // Opens the test clip and wipes the last frame of its preview off the
    // surface, so that a picture seen afterwards comes from a playback.
    bool open_clip();
    libvlc_media_player_t *start();
    // libvlc has made a video output and its picture shows in the widget.
    bool video_appears(libvlc_media_player_t *player);

    std::unique_ptr<player_widget> widget;
};

void player_widget_test::init()
{
    widget = std::make_unique<player_widget>();
    widget->show();
    QVERIFY(QTest::qWaitForWindowExposed(widget.get()));
}

void player_widget_test::cleanup()
{
    widget.reset();
    QCOMPARE(ledger::live_players(), 0);
    QCOMPARE(ledger::live_listeners(), 0);
    QCOMPARE(ledger::live_media(), 0);
}

bool player_widget_test::open_clip()
{
    if (widget->open_media(sample("clip_2s.mp4")).isEmpty())
        return false;
    widget->repaint();
    return QTest::qWaitFor([this] { return !shows_picture(widget.get()); }, 5000);
}

libvlc_media_player_t *player_widget_test::start()
{
    widget->start_playback();
    return last_player();
}

bool player_widget_test::video_appears(libvlc_media_player_t *player)
{
    return QTest::qWaitFor([player] { return has_video_output(player); }, 5000)
        && QTest::qWaitFor([this] { return shows_picture(widget.get()); }, 5000);
}

void player_widget_test::instance_is_retried_then_kept()
{
    ledger::fail_next_instance();
    QCOMPARE(widget->open_media(sample("clip_2s.mp4")), QString());
    QVERIFY(!widget->has_media());

    QCOMPARE(widget->open_media(sample("clip_2s.mp4")), QStringLiteral("clip_2s.mp4"));
    QCOMPARE(widget->open_media(sample("tone_1s.ogg")), QStringLiteral("tone_1s.ogg"));

    const QStringList caching{QStringLiteral("--file-caching=1000"), QStringLiteral("--disc-caching=1000")};
    QCOMPARE(ledger::instance_requests(), QVector<QStringList>({caching, caching}));
}

void player_widget_test::open_accepts_playable_file_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("file_name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("video with sound") << sample("clip_2s.mp4") << "clip_2s.mp4" << "clip_2s.mp4";
    QTest::newRow("sound only") << sample("tone_1s.ogg") << "tone_1s.ogg" << "tone_1s.ogg";
    QTest::newRow("31-character name")
        << sample("clip_2s.mp4") << "show_opening_clip_for_tests.mp4" << "show_opening_clip_fo...";
}

void player_widget_test::open_accepts_playable_file()
{
    QFETCH(QString, source);
    QFETCH(QString, file_name);
    QFETCH(QString, expected);
    QTemporaryDir directory;
    const QString path = directory.filePath(file_name);
    QVERIFY(QFile::copy(source, path));
    const int players_before = ledger::created_players().size();

    QCOMPARE(widget->open_media(path), expected);

    QVERIFY(widget->has_media());
    // One preview of the file, already gone; nothing else plays.
    const auto players = ledger::created_players().mid(players_before);
    QCOMPARE(players.size(), 1);
    QCOMPARE(players.first().media_path, path);
    QCOMPARE(ledger::live_players(), 0);
    QCOMPARE(ledger::live_media(), 1);
    QVERIFY(!widget->is_playing());
}

void player_widget_test::open_refuses_unusable_file_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("text file") << sample("notes.txt");
    QTest::newRow("missing file") << sample("no_such_clip.mp4");
}

void player_widget_test::open_refuses_unusable_file()
{
    QFETCH(QString, path);
    const QString accepted = sample("clip_2s.mp4");
    QVERIFY(!widget->open_media(accepted).isEmpty());
    const int players_before = ledger::created_players().size();

    QCOMPARE(widget->open_media(path), QString());

    QVERIFY(widget->has_media());
    QCOMPARE(ledger::created_players().size(), players_before);
    QCOMPARE(ledger::live_media(), 1);
    // Play still plays the file accepted before.
    widget->start_playback();
    QCOMPARE(ledger::created_players().size(), players_before + 1);
    QCOMPARE(ledger::created_players().last().media_path, accepted);
}

void player_widget_test::play_without_media_does_nothing()
{
    QSignalSpy stopped(widget.get(), &player_widget::player_stopped);
    QCOMPARE(widget->open_media(sample("notes.txt")), QString());
    QVERIFY(!widget->has_media());
    const int players_before = ledger::created_players().size();

    widget->start_playback();
    widget->stop_playback();

    QCOMPARE(ledger::created_players().size(), players_before);
    QVERIFY(!widget->is_playing());
    QCOMPARE(stopped.count(), 0);
}

void player_widget_test::playback_shows_video_in_surface()
{
    QVERIFY(!shows_picture(widget.get()));
    QVERIFY(open_clip());

    QVERIFY(video_appears(start()));

    QVERIFY(widget->is_playing());
}

void player_widget_test::end_of_video_reports_once()
{
    QVERIFY(open_clip());
    QSignalSpy stopped(widget.get(), &player_widget::player_stopped);
    libvlc_media_player_t *player = start();
    QVERIFY(video_appears(player));

    QVERIFY(stopped.wait(10000));
    QVERIFY(!ledger::is_live(player));
    QVERIFY(!widget->is_playing());
    QVERIFY(!stopped.wait(500));

    const int players_before = ledger::created_players().size();
    widget->stop_playback();
    QVERIFY(!stopped.wait(200));
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(ledger::created_players().size(), players_before);
    QVERIFY(widget->has_media());
}

void player_widget_test::stop_releases_player()
{
    QVERIFY(open_clip());
    QSignalSpy stopped(widget.get(), &player_widget::player_stopped);
    libvlc_media_player_t *player = start();
    QVERIFY(video_appears(player));

    widget->stop_playback();

    QVERIFY(!widget->is_playing());
    QTRY_COMPARE(stopped.count(), 1);
    QVERIFY(!ledger::is_live(player));
    QCOMPARE(ledger::live_listeners(), 0);
    QVERIFY(!stopped.wait(500));
}

void player_widget_test::restart_releases_only_replaced_player()
{
    QVERIFY(open_clip());
    QSignalSpy stopped(widget.get(), &player_widget::player_stopped);
    libvlc_media_player_t *first = start();

    libvlc_media_player_t *second = start();
    QVERIFY(video_appears(second));

    QVERIFY(second != first);
    QTRY_VERIFY(!ledger::is_live(first));
    QVERIFY(ledger::is_live(second));
    QVERIFY(widget->is_playing());
    // Replacing a playback is no end of the current one.
    QCOMPARE(stopped.count(), 0);

    QVERIFY(stopped.wait(10000));
    QVERIFY(!ledger::is_live(second));
    QCOMPARE(stopped.count(), 1);
}

void player_widget_test::open_during_playback_releases_player()
{
    QVERIFY(open_clip());
    QSignalSpy stopped(widget.get(), &player_widget::player_stopped);
    libvlc_media_player_t *player = start();
    QVERIFY(video_appears(player));

    QCOMPARE(widget->open_media(sample("tone_1s.ogg")), QStringLiteral("tone_1s.ogg"));

    QTRY_COMPARE(stopped.count(), 1);
    QVERIFY(!ledger::is_live(player));
    QCOMPARE(ledger::live_players(), 0);
    QCOMPARE(ledger::live_media(), 1);
    QVERIFY(!widget->is_playing());
}

void player_widget_test::double_click_reaches_widget_while_drawing()
{
    QVERIFY(open_clip());
    QSignalSpy double_clicked(widget.get(), &player_widget::double_clicked);
    QVERIFY(video_appears(start()));

    x_double_click(widget->mapToGlobal(widget->rect().center()));

    QTRY_COMPARE(double_clicked.count(), 1);
    QVERIFY(widget->is_playing());
}

void player_widget_test::destruction_during_playback_releases_everything()
{
    QVERIFY(open_clip());
    libvlc_media_player_t *player = start();
    QVERIFY(video_appears(player));

    widget.reset();

    QVERIFY(!ledger::is_live(player));
    QCOMPARE(ledger::live_listeners(), 0);
    QCOMPARE(ledger::live_media(), 0);
    // Nothing of the player may reach the event loop any more.
    QTest::qWait(300);
}

QTEST_MAIN(player_widget_test)
#include "player_widget_test.moc"
