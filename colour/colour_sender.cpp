#include "colour_sender.h"

#include "broadcast.h"
#include "command_report.h"

#include <QColor>

void send_colour(yoyo::Broadcast &broadcast, const hid_device_info *yoyos, const QColor &colour)
{
    broadcast.send_framed(yoyos, yoyo::colour_report(colour.redF(), colour.greenF(), colour.blueF()));
}
