#include "outcome.h"

#include "transport.h"

#include <QStringList>

namespace yoyo {
namespace {

QString command_name(const Command &report)
{
    switch (report.kind) {
    case Command::start: return QStringLiteral("start");
    case Command::stop: return QStringLiteral("stop");
    case Command::colour: return QStringLiteral("colour");
    case Command::other: break;
    }
    return QStringLiteral("report");
}

} // namespace

QString outcome_text(const Outcome &outcome)
{
    switch (outcome.result) {
    case Outcome::answered:
        return QStringLiteral("answered after %1 ms").arg(outcome.answer_time.count());
    case Outcome::written:
        return QStringLiteral("written");
    case Outcome::no_answer:
        return QStringLiteral("no answer within %1 s").arg(answer_timeout_ms / 1000.0);
    case Outcome::write_failed:
        return QStringLiteral("write failed");
    case Outcome::not_opened:
        break;
    }
    return QStringLiteral("could not be opened");
}

QString report_text(const Command &report)
{
    switch (report.kind) {
    case Command::start:
        return QStringLiteral("start %1").arg(report.count);
    case Command::colour:
        return QStringLiteral("colour #")
               + QStringLiteral("%1%2%3")
                     .arg(report.red, 2, 16, QLatin1Char('0'))
                     .arg(report.green, 2, 16, QLatin1Char('0'))
                     .arg(report.blue, 2, 16, QLatin1Char('0'))
                     .toUpper();
    default:
        return command_name(report);
    }
}

QString took_summary(const Command &report, int yoyos, const std::vector<std::pair<QString, QString>> &missed)
{
    if (missed.empty())
        return QStringLiteral("%1 of %1 yo-yos took the %2").arg(yoyos).arg(command_name(report));
    QStringList named;
    for (const auto &[name, outcome] : missed)
        named << QStringLiteral("%1 (%2)").arg(name, outcome);
    return QStringLiteral("%1 of %2 yo-yos did not take the %3: %4")
        .arg(missed.size())
        .arg(yoyos)
        .arg(command_name(report), named.join(QStringLiteral(", ")));
}

} // namespace yoyo
