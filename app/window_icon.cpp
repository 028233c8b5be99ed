#include "window_icon.h"

#include <QtGlobal>

#ifndef Q_OS_WIN
#include "window_icon_pngs.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#endif

namespace startup {

void set_window_icon()
{
#ifndef Q_OS_WIN
    QIcon icon;
    for (const auto &png : window_icon_pngs) {
        QPixmap pixmap;
        pixmap.loadFromData(png.data, png.size, "PNG");
        icon.addPixmap(pixmap);
    }
    QGuiApplication::setWindowIcon(icon);
#endif
}

} // namespace startup
