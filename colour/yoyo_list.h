#pragma once

#include <hidapi.h>

// The yo-yos that the latest enumeration found, in its order. Read and
// replaced on the GUI thread only; null before the first enumeration.
extern hid_device_info *yoyo_devices;

// A fresh enumeration of the Bluetooth yo-yos, every record counting. Any
// thread may run it.
hid_device_info *find_yoyo_devices();

// On the GUI thread: replaces yoyo_devices by `found`, freeing the previous
// list, and returns how many records it holds.
int take_yoyo_devices(hid_device_info *found);
