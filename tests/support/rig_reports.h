#pragma once

#include "virtual_yoyos.h"

#include <QStringList>

inline QStringList described(const rig::VirtualYoyos &yoyos, int yoyo)
{
    QStringList seen;
    for (const rig::Received &report : yoyos.received(yoyo))
        seen << QString::fromStdString(rig::describe(report.bytes));
    return seen;
}
