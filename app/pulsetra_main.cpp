#include "command_line.h"
#include "osc_endpoint.h"
#include "player_remote.h"
#include "signal_close.h"
#include "startup.h"
#include "timed_start.h"
#include "window_icon.h"
#include "tz3_player_main.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    startup::enable_screen_scaling();
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));
    const auto options = command_line::parse_player(QApplication::arguments());
    if (!options)
        return 2;
    startup::set_window_icon();
    startup::register_fonts();
    // Outlives the window: a signal while the window's destructor runs is
    // waited out, unless it is the second.
    signal_close closer;
    tz3_player_main window;
    remote::timed_start start(window);
    remote::osc_endpoint endpoint(QStringLiteral("/pulsetra"));
    remote::player_remote remote(window, endpoint, start);
    if (!command_line::listen(endpoint, options->osc))
        return 2;
    window.show();

    // As the operator would: the delay, the video, full screen, then the time.
    if (!options->delay.isEmpty())
        window.enter_delay(options->delay);
    QString why = options->video.isEmpty() ? QString() : window.open_video(options->video);
    if (!why.isEmpty())
        command_line::complain(options->video, why);
    if (options->full_screen)
        window.enter_full_screen(true);
    if (options->play_at && why.isEmpty()) {
        why = start.arm(*options->play_at);
        if (!why.isEmpty())
            command_line::complain(QStringLiteral("--play-at"), why);
    }
    return application.exec();
}
