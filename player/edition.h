#pragma once

// Which show player this is, fixed when it is built: VANTREL_BLUETOOTH_EDITION
// makes the Bluetooth edition, its absence the USB edition. There is no
// switch at run time.

#include "transport.h"

namespace player_edition {

#ifdef VANTREL_BLUETOOTH_EDITION
inline constexpr bool bluetooth = true;
#else
inline constexpr bool bluetooth = false;
#endif

inline constexpr const yoyo::Transport &transport = bluetooth ? yoyo::bluetooth : yoyo::usb;

} // namespace player_edition
