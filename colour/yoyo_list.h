#pragma once

#include <hidapi.h>

// The yo-yos that the latest enumeration found, in its order. Read and
// replaced on the GUI thread only; null before the first enumeration.
extern hid_device_info *yoyo_devices;

// Replaces yoyo_devices by a fresh enumeration of the Bluetooth yo-yos, every
// record counting, and returns how many records it holds.
int refresh_yoyo_devices();
