#include "timed_start.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QWidget>

namespace remote {

namespace {

constexpr std::chrono::hours furthest_ahead(24);

} // namespace

timed_start::timed_start(player_control &window, QObject *parent)
    : QObject(parent)
    , window(window)
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, [this] { fire(); });
    // Play pressed by hand, or by a remote, takes the place of the set start.
    window.watch_show(this, [this] {
        if (this->window.state() != player_control::show_state::idle)
            disarm();
    });
}

QString timed_start::arm(start_clock::time_point at)
{
    const auto ahead = at - start_clock::now();
    if (ahead < std::chrono::duration_cast<start_clock::duration>(lead))
        return ahead < start_clock::duration::zero() ? QStringLiteral("the start time has passed")
                                                     : QStringLiteral("the start time is too near to keep");
    if (ahead > furthest_ahead)
        return QStringLiteral("the start time is more than a day ahead");
    if (!window.has_video())
        return QStringLiteral("no video is open");
    if (window.state() != player_control::show_state::idle)
        return QStringLiteral("a show is running");

    disarm();
    fire_at = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(ahead);
    const auto until_press = std::chrono::duration_cast<std::chrono::milliseconds>(ahead) - lead;
    timer.start(int(until_press.count()));
    is_armed = true;

    QWidget *shown = window.main_window();
    title = shown->windowTitle();
    const auto at_ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    shown->setWindowTitle(title + QStringLiteral(" – starts at ")
                          + QDateTime::fromMSecsSinceEpoch(at_ms).toString(QStringLiteral("HH:mm:ss")));
    QCoreApplication::instance()->installEventFilter(this);
    return QString();
}

bool timed_start::disarm()
{
    if (!is_armed)
        return false;
    is_armed = false;
    timer.stop();
    QCoreApplication::instance()->removeEventFilter(this);
    window.main_window()->setWindowTitle(title);
    return true;
}

bool timed_start::eventFilter(QObject *, QEvent *event)
{
    const bool escape = event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
    if (escape || event->type() == QEvent::MouseButtonDblClick)
        disarm();
    return false;
}

void timed_start::fire()
{
    disarm();
    window.press_play(fire_at);
}

} // namespace remote
