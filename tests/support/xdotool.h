#pragma once

#include <QProcess>
#include <QStringList>

// The X input and window requests that tests make as a user or a window
// manager would, through xdotool in the test's X session.
inline bool xdotool(const QStringList &arguments)
{
    QProcess tool;
    tool.start("xdotool", arguments);
    return tool.waitForFinished(5000) && tool.exitCode() == 0;
}
