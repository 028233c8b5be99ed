#include "vertical_label.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPainter>

bool QVerticalLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Paint || !watched)
        return false;
    auto *label = qobject_cast<QLabel *>(watched);
    if (!label)
        return false;

    const QFontMetrics metrics(label->font());
    const int text_width = metrics.horizontalAdvance(label->text());
    const int font_height = metrics.height();
    // Set on every paint so that the layout keeps room for the turned text.
    label->setMinimumHeight(text_width);
    label->setMinimumWidth(font_height);

    // The baseline a quarter of the font height right of the centre line
    // centres the glyphs across the label.
    QPainter painter(label);
    painter.translate(QPointF(label->width() / 2 + font_height / 4, label->height()));
    painter.rotate(-90);
    painter.drawText(0, 0, label->text());
    return true;
}

namespace {

QVerticalLabel *shared_filter = nullptr;

void delete_shared_filter()
{
    delete shared_filter;
    shared_filter = nullptr;
}

} // namespace

void install_vertical_label(QWidget *label)
{
    if (!shared_filter) {
        shared_filter = new QVerticalLabel;
        // A widget must go before the application object does.
        qAddPostRoutine(delete_shared_filter);
    }
    label->installEventFilter(shared_filter);
    label->repaint();
}
