#include "start_time.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>
#include <QTime>

#include <cmath>

namespace remote {

namespace {

start_clock::time_point from_msecs(qint64 msecs)
{
    return start_clock::time_point(std::chrono::duration_cast<start_clock::duration>(std::chrono::milliseconds(msecs)));
}

} // namespace

std::optional<start_clock::time_point> from_unix_seconds(double seconds, QString *why)
{
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e11) {
        *why = std::isnan(seconds) ? QStringLiteral("the time is no number")
                                   : QStringLiteral("the time is out of range");
        return std::nullopt;
    }
    return start_clock::time_point(
        std::chrono::duration_cast<start_clock::duration>(std::chrono::duration<double>(seconds)));
}

std::optional<start_clock::time_point> parse_start_time(const QString &text, start_clock::time_point now,
                                                        QString *why)
{
    if (text.startsWith('@')) {
        bool ok = false;
        const double seconds = text.mid(1).toDouble(&ok);
        if (ok)
            return from_unix_seconds(seconds, why);
    } else if (QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d(:\\d\\d(\\.\\d{1,3})?)?$")).match(text).hasMatch()) {
        // A fraction of ".5" is half a second.
        const QStringList parts = text.split('.');
        QTime time = QTime::fromString(parts[0], parts[0].size() == 5 ? QStringLiteral("HH:mm") : QStringLiteral("HH:mm:ss"));
        if (parts.size() == 2)
            time = time.addMSecs(parts[1].leftJustified(3, '0').toInt());
        if (time.isValid()) {
            const QDateTime from = QDateTime::fromMSecsSinceEpoch(
                std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
            QDateTime at(from.date(), time);
            if (at <= from)
                at = QDateTime(from.date().addDays(1), time);
            return from_msecs(at.toMSecsSinceEpoch());
        }
    } else {
        const QDateTime at = QDateTime::fromString(text, Qt::ISODateWithMs);
        if (at.isValid() && text.contains('T'))
            return from_msecs(at.toMSecsSinceEpoch());
    }
    *why = QStringLiteral("'%1' is no time: give YYYY-MM-DDTHH:MM:SS, HH:MM[:SS[.mmm]] or @SECONDS").arg(text);
    return std::nullopt;
}

} // namespace remote
