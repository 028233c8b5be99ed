#include "tz3_player_main.h"
#include "ui_tz3_player_main.h"

#include "command_report.h"
#include "discovery.h"
#include "edition.h"
#include "hid_library.h"
#include "player_widget.h"
#include "transport.h"
#include "version_dlg.h"
#include "yoyo_panel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QByteArray>
#include <QFileDialog>
#include <QFileInfo>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStringList>

#include <utility>

namespace {

// Icon-font glyphs.
constexpr QChar glyph_play(0xE05E);
constexpr QChar glyph_enter_full_screen(0xE101);
constexpr QChar glyph_leave_full_screen(0xE100);

// The delay the operator may set, in seconds.
constexpr int shortest_delay = 5;
constexpr int longest_delay = 1200;

// Process-wide values of the show player: the delay and blackout of the
// show, and the full-screen state.
int last_delay = shortest_delay;
int blackout_from = 0;

QByteArray &saved_geometry()
{
    static QByteArray geometry;
    return geometry;
}
bool was_maximized = false;
bool is_full_screen = false;

const QString transparent_container = QStringLiteral("background-color:rgba(0,0,0,0)");
const QString black_container = QStringLiteral("background-color:rgba(0,0,0,255);");

} // namespace

tz3_player_main::tz3_player_main(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::tz3_player_main)
    , player(nullptr)
    , poll_timer()
    , yoyo_devices(nullptr)
    , playing(false)
    , broadcast(player_edition::transport, yoyo::Broadcast::Backlog::every_report,
                [this](const yoyo::Outcome &outcome) { panel->hand_over(outcome); })
    , discovery(player_edition::transport)
{
    ui->setupUi(this);
    yoyo::library_init();

    player = new player_widget(ui->player);
    player->setStyleSheet(QString());
    ui->verticalLayout_2->addWidget(player);
    ui->player->hide();

    ui->centralWidget->setStyleSheet(QStringLiteral("background-color:rgba(0,0,0,255)"));
    ui->main_content->setStyleSheet(QStringLiteral(
        "QWidget{color:rgba(255,255,255,150);background-color:rgba(0,0,0,0);}"));
    ui->main_content->setAutoFillBackground(true);
    ui->main_content->stackUnder(ui->player);
    panel = new yoyo_panel(ui->lbl_yoyo_cnt, this);

    // The GUI thread only swaps the list and shows the count. With a video
    // loaded, a show may start: a thread waits for each yo-yo.
    connect(&discovery, &yoyo::Discovery::found, this, [this](hid_device_info *found) {
        hid_free_enumeration(yoyo_devices);
        yoyo_devices = found;
        const int count = yoyo::count_records(yoyo_devices);
        ui->lbl_yoyo_cnt->setText(QStringLiteral("%1").arg(count));
        panel->listed(yoyo_devices);
        if (player->has_media())
            broadcast.warm(count);
    });
    connect(&poll_timer, &QTimer::timeout, this, &tz3_player_main::poll_yoyos);
    poll_timer.setInterval(1000);
    poll_timer.start();
}

tz3_player_main::~tz3_player_main()
{
    if (playing)
        send_stop();
    poll_timer.stop();
    delete countdown_timer;
    countdown_timer = nullptr;
    // Waits for an enumeration under way, frees what it found.
    discovery.stop();

    // The stop reports just queued (and anything still running from earlier
    // broadcasts) must reach their yo-yos before the HID library goes away:
    // wait for the pool tasks, at most one answer time-out plus a margin.
    broadcast.wait_for_tasks(yoyo::answer_timeout_ms + 500);

    hid_free_enumeration(yoyo_devices);
    yoyo_devices = nullptr;
    yoyo::library_exit();
    delete ui;
}

// The video container covers the whole window, above main_content.
void tz3_player_main::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    ui->player->setGeometry(0, 0, width(), height());
}

void tz3_player_main::showEvent(QShowEvent *)
{
    ui->player->setGeometry(0, 0, width(), height());
}

// The video goes before its window: libvlc may still be making its video
// output in the surface, and the graphics driver must not see the window
// vanish meanwhile.
void tz3_player_main::closeEvent(QCloseEvent *event)
{
    player->close_player();
    QMainWindow::closeEvent(event);
}

void tz3_player_main::on_txt_delay_editingFinished()
{
    set_delay(ui->txt_delay->text());
}

// Full-screen mode: entering keeps the window's geometry, leaving restores it.
void tz3_player_main::on_btn_full_screen_clicked()
{
    QWidget *top = window();
    if (!is_full_screen) {
        ui->btn_full_screen->setText(QString(glyph_leave_full_screen));
        saved_geometry() = top->saveGeometry();
        was_maximized = top->isMaximized();
        top->showFullScreen();
        is_full_screen = true;
    } else {
        ui->btn_full_screen->setText(QString(glyph_enter_full_screen));
        if (was_maximized) {
            top->showMaximized();
        } else {
            top->showMaximized();
            top->showNormal();
            top->restoreGeometry(saved_geometry());
        }
        is_full_screen = false;
    }
}

void tz3_player_main::on_btn_version_clicked()
{
    version_dlg dlg(this);
    dlg.setModal(true);
    dlg.exec();
}

void tz3_player_main::on_btn_open_clicked()
{
    QFileDialog dialog(this, tr("Open a Multimedia File"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty())
        open_video(files.first());
}

QString tz3_player_main::open_video(const QString &path)
{
    if (playing)
        return tr("a show is running");
    if (!QFileInfo(path).isFile())
        return tr("no such file");
    // The window is held while libvlc checks the file and plays its
    // preview; the wait cursor says so until the check is over.
    struct busy_cursor {
        busy_cursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
        ~busy_cursor() { QApplication::restoreOverrideCursor(); }
    } busy;
    const QString name = player->open_media(path);
    if (name.isEmpty())
        return tr("not a video that can be played");
    ui->lbl_file_name->setText(name);
    broadcast.warm(yoyo::count_records(yoyo_devices));
    return QString();
}

// Play: starts a show.
void tz3_player_main::on_btn_play_clicked()
{
    if (!player->has_media())
        return;

    playing = true;
    ui->btn_play->setText(QString());
    const int delay = ui->txt_delay->text().toInt(nullptr, 10);
    blackout_from = delay - 3;
    ui->main_content->setEnabled(false);
    ui->player->show();
    ui->player->setStyleSheet(transparent_container);

    // Until the start reports are written, the video counts from here.
    video_due = QDeadlineTimer(delay * qint64(1000), Qt::PreciseTimer);
    send_start();

    // A precise timer: each tick is due a whole second after the one before,
    // so the count the operator sees keeps time (a coarse timer may drift by
    // 5 % a tick); countdown_tick aims the last one at the video's start.
    countdown_timer = new QTimer();
    countdown_timer->setTimerType(Qt::PreciseTimer);
    connect(countdown_timer, &QTimer::timeout, countdown_timer,
            [this] { countdown_tick(); }, Qt::DirectConnection);
    countdown_timer->start(1000);

    disconnect(player, &player_widget::double_clicked, nullptr, nullptr);
    connect(player, &player_widget::double_clicked, player,
            [this] { abort_countdown(); }, Qt::DirectConnection);
    emit show_changed();
}

void tz3_player_main::on_txt_delay_returnPressed()
{
    setFocus(Qt::OtherFocusReason);
}

// Discovery: the edition's yo-yos, the unlisted ones dropped, found off the
// GUI thread; the list and the count follow when the step is done.
void tz3_player_main::poll_yoyos()
{
    discovery.start();
}

// Broadcast: one delivery per listed yo-yo, each on its own thread with its
// own copy of the path, the serial and the report (widened for Bluetooth);
// returns at once.
void tz3_player_main::tz3_send_all(const std::uint8_t *report, const yoyo::Broadcast::Fired &fired)
{
    poll_timer.stop();
    // Play pressed for a set time gives the moment the reports go out.
    broadcast.send(yoyo_devices, report, std::exchange(fire_at, std::nullopt), fired);
    panel->sent(broadcast.rounds(), yoyo_devices);
    poll_timer.start(1000);
}

// The yo-yos count from the moment their start reports are written, which
// the broadcast tells a few milliseconds after the hand-over.
void tz3_player_main::send_start()
{
    const int delay = ui->txt_delay->text().toInt(nullptr, 10);
    const yoyo::UsbReport report = yoyo::start_report(delay);
    tz3_send_all(report.data(), [this, show = ++shows, delay](std::optional<yoyo::Broadcast::Moment> at) {
        QMetaObject::invokeMethod(this, [=] { start_written(at, show, delay); }, Qt::QueuedConnection);
    });
}

// The video counts D from the yo-yos' own start. libvlc readies a video
// that needs it only now, out of the way of the yo-yos' opens and writes;
// the last tick then only lets it run and the first picture comes at 0.
void tz3_player_main::start_written(std::optional<yoyo::Broadcast::Moment> at, int show, int delay)
{
    if (show != shows || !countdown_timer)
        return;
    if (at)
        video_due = QDeadlineTimer(*at + std::chrono::seconds(delay), Qt::PreciseTimer);
    player->prepare_playback();
}

void tz3_player_main::send_stop()
{
    const yoyo::UsbReport report = yoyo::stop_report();
    tz3_send_all(report.data());
}

void tz3_player_main::set_delay(const QString &text)
{
    bool ok = false;
    int value = text.toInt(&ok, 10);
    if (ok) {
        if (value > longest_delay)
            value = longest_delay;
        else if (value <= 4)
            value = shortest_delay;
        last_delay = value;
    }
    ui->txt_delay->setText(QStringLiteral("%1").arg(last_delay));
}

void tz3_player_main::countdown_tick()
{
    const int remaining = ui->txt_delay->text().toInt(nullptr, 10) - 1;
    ui->txt_delay->setText(QStringLiteral("%1").arg(remaining));

    if (remaining <= 0) {
        // The tick was aimed a little early (below); the player readies the
        // video and waits out the milliseconds left, so the video starts on
        // time, not when the timer happened to wake up.
        player->start_playback(video_due);
        disconnect(player, &player_widget::double_clicked, nullptr, nullptr);
        connect(player, &player_widget::double_clicked, player,
                [this] { stop_show(); }, Qt::DirectConnection);
        // We are inside the timer's own timeout: it is stopped now and
        // deleted once control is back in the event loop.
        countdown_timer->stop();
        countdown_timer->deleteLater();
        countdown_timer = nullptr;
    } else {
        if (remaining == 1) {
            const qint64 left_ms = video_due.remainingTimeNSecs() / 1000000 - player->start_lead_ms();
            countdown_timer->start(int(qMax<qint64>(0, left_ms)));
        }
        if (remaining <= blackout_from)
            ui->player->setStyleSheet(black_container);
    }
    emit show_changed();
}

// Double-click during the countdown.
void tz3_player_main::abort_countdown()
{
    reset_to_idle();
    if (countdown_timer)
        countdown_timer->stop();
    send_stop();
    delete countdown_timer;
    countdown_timer = nullptr;
    // The video prepared for the show goes without ever being seen.
    player->stop_playback();
}

// Double-click once the countdown has ended (Playing or Ended).
void tz3_player_main::stop_show()
{
    if (player->is_playing())
        send_stop();
    player->stop_playback();
    reset_to_idle();
}

void tz3_player_main::reset_to_idle()
{
    playing = false;
    ui->btn_play->setText(QString(glyph_play));
    set_delay(QStringLiteral("prev"));
    ui->player->hide();
    ui->main_content->setEnabled(true);
    emit show_changed();
}
