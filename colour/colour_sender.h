#pragma once

#include <hidapi.h>

class QColor;

// Writes the colour command for `colour` (alpha ignored) to every yo-yo of
// `yoyos`, one after the other in list order, on the calling thread. A yo-yo
// that cannot be opened is skipped; a failed write ends the send there.
void send_colour(const hid_device_info *yoyos, const QColor &colour);
