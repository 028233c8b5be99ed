#include "signal_close.h"
#include "startup.h"
#include "window_icon.h"
#include "vantrel.h"

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
    vantrel window;
    window.setWindowFlags(Qt::Dialog);
    window.show();
    return application.exec();
}
