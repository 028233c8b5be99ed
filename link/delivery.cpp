#include "delivery.h"
#include "command_report.h"
#include "hid_library.h"

#include <QLoggingCategory>
#include <QString>

// Quiet unless asked for: a yo-yo that is unplugged or dark is no fault of
// the program, and a show writes to every yo-yo at once.
Q_LOGGING_CATEGORY(link_log, "vantrel.link", QtWarningMsg)

namespace yoyo {
namespace {

Delivery hand_over(const Transport &transport, const char *path, const std::uint8_t *report,
                   const std::function<void()> &written, const std::function<void(bool)> &opened)
{
    hid_device *device = open_device(path);
    if (opened)
        opened(device != nullptr);
    const bool wrote = device && hid_write(device, report, static_cast<size_t>(transport.report_length)) >= 0;
    if (written)
        written();
    if (!device)
        return Delivery::not_opened;

    Delivery outcome = wrote ? Delivery::delivered : Delivery::write_failed;
    if (wrote && transport.reads_answer) {
        // The answer's bytes mean nothing to us; the read only lets the
        // yo-yo finish before its device is closed.
        unsigned char answer[usb_report_length];
        if (hid_read_timeout(device, answer, sizeof answer, answer_timeout_ms) <= 0)
            outcome = Delivery::no_answer;
    }
    close_device(device);
    return outcome;
}

const char *said(Delivery outcome)
{
    switch (outcome) {
    case Delivery::not_opened:
        return "could not be opened";
    case Delivery::write_failed:
        return "refused the report (write failed)";
    case Delivery::no_answer:
        return "gave no answer within the time-out";
    case Delivery::delivered:
        break;
    }
    return "took the report";
}

QString who(const char *path, const wchar_t *serial)
{
    return QStringLiteral("yo-yo %1 (serial %2)")
        .arg(QString::fromLocal8Bit(path),
             serial ? QLatin1Char('"') + QString::fromWCharArray(serial) + QLatin1Char('"') : QStringLiteral("none"));
}

} // namespace

Delivery deliver(const Transport &transport, const char *path, const wchar_t *serial,
                 const std::uint8_t *report, const std::function<void()> &written,
                 const std::function<void(bool)> &opened)
{
    const Delivery outcome = hand_over(transport, path, report, written, opened);
    // The text is only built when the rules let it through.
    if (outcome == Delivery::delivered)
        qCDebug(link_log).noquote() << who(path, serial) << said(outcome);
    else
        qCInfo(link_log).noquote() << who(path, serial) << said(outcome);
    return outcome;
}

} // namespace yoyo
