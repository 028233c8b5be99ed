#!/usr/bin/env bash
# The yo-yo access rule under this system's own udev: in a private mount
# namespace, yo-yos and near misses laid out in /sys as the kernel does, each
# run through `udevadm test` with every installed rule.
# Usage: check_udev_rules.sh RULES_FILE (exits 77 where no namespace can be made)
set -euo pipefail

rules=$(realpath "$1")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if [ "${2:-}" != --inside ]; then
  command -v udevadm >/dev/null || { echo "FAIL: udevadm not found (package udev)"; exit 1; }
  userns=(--map-root-user)
  [ "$(id -u)" -eq 0 ] && userns=()
  if ! unshare --mount "${userns[@]}" true 2>/dev/null; then
    echo "SKIP: no private mount namespace here, udevadm test not run"
    exit 77
  fi
  unshare --mount "${userns[@]}" "$0" "$rules" --inside && echo PASS
  exit
fi

for dir in /sys /dev /run; do mount -t tmpfs tmpfs "$dir"; done
[ -d /etc/udev/rules.d ] && mount -t tmpfs tmpfs /etc/udev/rules.d # local rules of the same name would win
mkdir -p /run/udev/rules.d /sys/bus/usb /sys/bus/hid /sys/bus/bluetooth /sys/class/hidraw /sys/class/misc
cp "$rules" /run/udev/rules.d/

# node PATH SUBSYSTEM [UEVENT-LINE...]: one sysfs device directory.
node() {
  local path=/sys/devices/$1 subsystem=$2; shift 2
  mkdir -p "$path"
  printf '%s\n' "$@" >"$path/uevent"
  case $subsystem in
    hidraw|misc) ln -sfn /sys/class/$subsystem "$path/subsystem" ;;
    *) ln -sfn /sys/bus/$subsystem "$path/subsystem" ;;
  esac
}
usb_device() { # PATH VENDOR PRODUCT [UEVENT-LINE...]
  local path=$1 vendor=$2 product=$3; shift 3
  node "$path" usb DEVTYPE=usb_device "PRODUCT=${vendor#0}/${product#0}/100" "$@"
  echo "$vendor" >"/sys/devices/$path/idVendor"
  echo "$product" >"/sys/devices/$path/idProduct"
}
# These set $syspath to the device that udevadm is to test.
minor=0
hidraw() { # HID-PATH: the hidraw node under a HID device
  local raw=$1/hidraw/hidraw$minor
  node "$raw" hidraw MAJOR=241 MINOR=$minor DEVNAME=hidraw$minor
  echo "241:$minor" >"/sys/devices/$raw/dev"
  ln -sfn "/sys/devices/$raw" "/sys/class/hidraw/hidraw$minor"
  syspath=/sys/devices/$raw
  minor=$((minor + 1))
}
hid_device() { # PARENT BUS VENDOR PRODUCT: a HID device, named as the kernel does, and its hidraw node
  local hid=$1/$(printf '%s:%s:%s.%04X' "$2" "${3^^}" "${4^^}" $((minor + 1)))
  node "$hid" hid "HID_ID=$2:0000${3^^}:0000${4^^}"
  hidraw "$hid"
}
port=0
on_usb() { # VENDOR PRODUCT
  port=$((port + 1))
  local dev=pci0000:00/0000:00:14.0/usb1/1-$port
  usb_device "$dev" "$1" "$2" MAJOR=189 MINOR=$port DEVNAME=bus/usb/001/$(printf %03d $port)
  node "$dev/1-$port:1.0" usb DEVTYPE=usb_interface
  hid_device "$dev/1-$port:1.0" 0003 "$1" "$2"
}
# Bluetooth classic: the HID device hangs under a link of a USB adapter,
# whose own idVendor is the adapter maker's.
adapter=pci0000:00/0000:00:14.0/usb1/1-9
usb_device $adapter 8087 0a2b
node $adapter/1-9:1.0 usb DEVTYPE=usb_interface
node $adapter/1-9:1.0/bluetooth/hci0 bluetooth DEVTYPE=host
node $adapter/1-9:1.0/bluetooth/hci0/hci0:256 bluetooth DEVTYPE=link
on_bt_classic() { hid_device $adapter/1-9:1.0/bluetooth/hci0/hci0:256 0005 "$1" "$2"; }
# Bluetooth low energy: the HID device is made by bluetoothd through uhid.
node virtual/misc/uhid misc MAJOR=10 MINOR=239 DEVNAME=uhid
on_ble() { hid_device virtual/misc/uhid 0005 "$1" "$2"; }

# expect granted|denied DESCRIPTION: granted is tagged uaccess with the
# builtin queued by 73-seat-late.rules, so our tag comes before that file.
expect() {
  local want=$1 what=$2 out tagged=no queued=no
  out=$(SYSTEMD_DEVICE_VERIFY_SYSFS=0 udevadm test --action=add "$syspath" 2>&1) || {
    fail "$what: udevadm test failed"; echo "$out" | tail -n 5; return
  }
  grep -Eq '^TAGS=.*:uaccess:' <<<"$out" && tagged=yes
  grep -Eq "^run: '(builtin )?uaccess'" <<<"$out" && queued=yes
  case $want in
    granted) [ $tagged = yes ] && [ $queued = yes ] \
               || fail "$what: tagged uaccess: $tagged, uaccess builtin queued: $queued" ;;
    denied) [ $tagged = no ] || fail "$what: tagged uaccess" ;;
  esac
  grep -E ' MODE [0-7]*[2367]$' <<<"$out" && fail "$what: world-writable"
  echo "checked: $what -> $want"
}

on_usb 2680 0100;        expect granted "USB yo-yo 2680:0100"
syspath=${syspath%/*:1.0/*}; expect denied "that yo-yo's USB device node (hidapi needs only hidraw)"
on_usb 0268 0100;        expect granted "USB yo-yo 0268:0100"
on_bt_classic 0268 0100; expect granted "Bluetooth classic yo-yo 0268:0100"
on_bt_classic 2680 0100; expect granted "Bluetooth classic yo-yo 2680:0100"
on_ble 0268 0100;        expect granted "Bluetooth LE yo-yo 0268:0100"
on_usb 2680 0200;        expect denied "USB 2680:0200, another product"
on_usb 2681 0100;        expect denied "USB 2681:0100, another vendor"
on_bt_classic 0269 0100; expect denied "Bluetooth classic 0269:0100"
on_ble 0268 1100;        expect denied "Bluetooth LE 0268:1100"
on_ble 2680 0200;        expect denied "Bluetooth LE 2680:0200"
[ $failures -eq 0 ]
