#pragma once

// What reached a virtual yo-yo, in the two forms the tests compare: the
// bytes as hex, and the rig's reading of them ("start 240", "stop", ...).

#include "virtual_yoyos.h"

#include <QByteArray>
#include <QStringList>

inline QByteArray hex(const std::vector<std::uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size())).toHex(' ');
}

inline QStringList described(const rig::VirtualYoyos &yoyos, int yoyo)
{
    QStringList seen;
    for (const rig::Received &report : yoyos.received(yoyo))
        seen << QString::fromStdString(rig::describe(report.bytes));
    return seen;
}
