#pragma once

// What this process holds, read from /proc: resident memory, threads and
// open descriptors. Threads of Qt's pools are counted apart: the show
// player's broadcast keeps one for every delivery of its busiest show, so
// their number follows how the reports happened to overlap.
#include <QDir>
#include <QFile>

#include <cstdlib>

struct process_footprint {
    qint64 resident_kib = 0;
    int threads = 0;
    int descriptors = 0;
    int pooled = 0;

    static process_footprint now()
    {
        process_footprint read;
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            std::abort();
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                read.resident_kib = line.mid(6).trimmed().split(' ').first().toLongLong();
        const QDir tasks(QStringLiteral("/proc/self/task"));
        for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile name(tasks.filePath(task + QStringLiteral("/comm")));
            const bool pooled = name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "Thread (pooled)";
            read.pooled += pooled;
            read.threads += !pooled;
        }
        // Less the descriptor of the listing itself.
        read.descriptors = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::NoDotAndDotDot).size() - 1;
        return read;
    }
};
