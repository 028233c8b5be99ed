#include "picture_watch.h"

#include <QScreen>
#include <QWidget>

picture_watch::picture_watch(const QWidget *area)
    : area(area)
{
}

bool picture_watch::mark()
{
    marked = read();
    return !marked.first.isNull() && !marked.second.isNull();
}

bool picture_watch::shows_new_picture() const
{
    const lines seen = read();
    return !seen.first.isNull() && !seen.second.isNull() && seen != marked && !plain(seen);
}

bool picture_watch::plain(const lines &seen)
{
    const QRgb first = seen.first.pixel(0, 0);
    for (int x = 0; x < seen.first.width(); ++x) {
        if (seen.first.pixel(x, 0) != first)
            return false;
    }
    for (int y = 0; y < seen.second.height(); ++y) {
        if (seen.second.pixel(0, y) != first)
            return false;
    }
    return true;
}

picture_watch::lines picture_watch::read() const
{
    QScreen *screen = area->screen();
    if (!screen || area->width() < 1 || area->height() < 1)
        return {};
    const QPoint origin = area->mapToGlobal(QPoint(0, 0)) - screen->geometry().topLeft();
    const QPoint middle = origin + QPoint(area->width() / 2, area->height() / 2);
    return {screen->grabWindow(0, origin.x(), middle.y(), area->width(), 1).toImage(),
            screen->grabWindow(0, middle.x(), origin.y(), 1, area->height()).toImage()};
}
