#include "startup.h"

#include <QFontDatabase>
#include <QtGlobal>

namespace startup {

void enable_screen_scaling()
{
    qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", "1");
}

void register_fonts()
{
    QFontDatabase::addApplicationFont(":/fonts/Entypo+.ttf");
    QFontDatabase::addApplicationFont(":/fonts/talvek_logo.ttf");
    QFontDatabase::addApplicationFont(":/fonts/tz3_other_icons.ttf");
}

} // namespace startup
