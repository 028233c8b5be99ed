#pragma once

#include "transport.h"

#include <hidapi.h>

// Finding the yo-yos that are connected right now.
namespace yoyo {

// Drops the records whose serial number is missing or starts with '0'; each
// dropped record is freed on its own. Returns the new head; the records that
// stay keep their order.
hid_device_info *drop_unlisted(hid_device_info *head);

int count_records(const hid_device_info *head);

// One discovery step of the show player: enumerate the transport's devices and
// keep the listed ones. May return null.
hid_device_info *discover(const Transport &transport);

} // namespace yoyo
