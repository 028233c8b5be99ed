#include "startup.h"
#include "vantrel.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    startup::enable_screen_scaling();
    QApplication application(argc, argv);
    startup::register_fonts();
    vantrel window;
    window.setWindowFlags(Qt::Dialog);
    window.show();
    return application.exec();
}
