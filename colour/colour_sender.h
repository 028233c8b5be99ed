#pragma once

#include <hidapi.h>

class QColor;

namespace yoyo {
class Broadcast;
}

// Hands the colour command for `colour` (alpha ignored) to `broadcast`, one
// delivery for each record of `yoyos`, and returns at once: the yo-yos are
// written to in parallel, each on its own, so a yo-yo that cannot be opened
// or refuses the write misses only this colour itself.
void send_colour(yoyo::Broadcast &broadcast, const hid_device_info *yoyos, const QColor &colour);
