#include "colour_remote.h"
#include "command_line.h"
#include "osc_endpoint.h"
#include "signal_close.h"
#include "startup.h"
#include "window_icon.h"
#include "vantrel.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    startup::enable_screen_scaling();
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));
    bool ok = false;
    const auto osc = command_line::parse_colour(QApplication::arguments(), &ok);
    if (!ok)
        return 2;
    startup::set_window_icon();
    startup::register_fonts();
    // Outlives the window: a signal while the window's destructor runs is
    // waited out, unless it is the second.
    signal_close closer;
    vantrel window;
    window.setWindowFlags(Qt::Dialog);
    remote::osc_endpoint endpoint(QStringLiteral("/skeel"));
    remote::colour_remote remote(window, endpoint);
    if (!command_line::listen(endpoint, osc))
        return 2;
    window.show();
    return application.exec();
}
