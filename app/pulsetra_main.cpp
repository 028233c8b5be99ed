#include "signal_close.h"
#include "startup.h"
#include "window_icon.h"
#include "tz3_player_main.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    startup::enable_screen_scaling();
    QApplication application(argc, argv);
    startup::set_window_icon();
    startup::register_fonts();
    // Outlives the window: a signal while the window's destructor runs is
    // waited out, unless it is the second.
    signal_close closer;
    tz3_player_main window;
    window.show();
    return application.exec();
}
