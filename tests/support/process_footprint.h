#pragma once

// What this process holds, read from /proc: resident memory, threads and
// open descriptors. Threads of Qt's pools are left out: the show player's
// broadcast keeps one for every delivery under way for half a minute, so
// their number follows how the last reports happened to overlap.

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdlib>

struct process_footprint {
    qint64 resident_kib = 0;
    int threads = 0;
    int descriptors = 0;

    static process_footprint now()
    {
        process_footprint read;
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            std::abort();
        const QByteArray text = status.readAll();
        const int at = text.indexOf("VmRSS:") + 6;
        read.resident_kib = text.mid(at, text.indexOf('\n', at) - at).trimmed().split(' ').first().toLongLong();
        for (const QString &task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile name(QStringLiteral("/proc/self/task/%1/comm").arg(task));
            read.threads += name.open(QIODevice::ReadOnly) && name.readAll().trimmed() != "Thread (pooled)";
        }
        // Less the descriptor of the listing itself.
        read.descriptors =
            int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::NoDotAndDotDot).size()) - 1;
        return read;
    }
};
