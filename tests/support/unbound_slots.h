#pragma once

#include <QString>
#include <QtGlobal>

#include <utility>

// A slot whose object was renamed or misspelt loses its connection with
// nothing but Qt's warning at setup; this collects those warnings.
class unbound_slots {
public:
    static void watch() { previous = qInstallMessageHandler(&unbound_slots::handle); }
    static QString take() { return std::exchange(seen, QString()); }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (message.contains(QLatin1String("No matching signal for on_")))
            seen += message + QLatin1Char('\n');
        if (previous)
            previous(type, context, message);
    }

    static inline QtMessageHandler previous = nullptr;
    static inline QString seen;
};
