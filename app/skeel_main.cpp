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
    vantrel window;
    window.setWindowFlags(Qt::Dialog);
    window.show();
    return application.exec();
}
