#include "command_line.h"

#include "osc_endpoint.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace command_line {

namespace {

const QCommandLineOption osc_option(QStringLiteral("osc"),
                                    QStringLiteral("Listen for OSC commands on UDP, on 127.0.0.1 unless an address "
                                                   "is given. OSC has no authentication: listen on other addresses "
                                                   "only on a show network."),
                                    QStringLiteral("[ADDRESS:]PORT"));

// --help and --version end the program here; false after a refusal.
bool parse(QCommandLineParser &parser, const QStringList &arguments, std::optional<listen_at> *osc)
{
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(osc_option);
    // Options the program does not know change nothing, as they did before
    // it had options of its own; only a known option used wrongly refuses.
    if (!parser.parse(arguments)) {
        const bool only_unknown = !parser.unknownOptionNames().isEmpty()
                                  && parser.errorText().startsWith(QLatin1String("Unknown option"));
        complain(QStringLiteral("command line"),
                 only_unknown ? parser.errorText() + QStringLiteral(" Ignored.") : parser.errorText());
        if (!only_unknown)
            return false;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (parser.isSet(osc_option)) {
        QString why;
        *osc = parse_listen(parser.value(osc_option), &why);
        if (!*osc) {
            complain(QStringLiteral("--osc"), why);
            return false;
        }
    }
    return true;
}

} // namespace

void complain(const QString &what, const QString &why)
{
    std::fprintf(stderr, "%s: %s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(what),
                 qPrintable(why));
}

bool listen(remote::osc_endpoint &endpoint, const std::optional<listen_at> &osc)
{
    const QString why = osc ? endpoint.listen(osc->address, osc->port) : QString();
    if (!why.isEmpty())
        complain(QStringLiteral("--osc"), why);
    return why.isEmpty();
}

std::optional<listen_at> parse_listen(const QString &text, QString *why)
{
    const int colon = text.lastIndexOf(':');
    QString host = colon < 0 ? QStringLiteral("127.0.0.1") : text.left(colon);
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    bool number = false;
    const uint port = text.mid(colon + 1).toUInt(&number, 10);
    listen_at at{QHostAddress(host), quint16(port)};
    if (!number || port == 0 || port > 65535) {
        *why = QStringLiteral("'%1' is no port (1 to 65535)").arg(text.mid(colon + 1));
        return std::nullopt;
    }
    if (at.address.isNull()) {
        *why = QStringLiteral("'%1' is no IP address").arg(host);
        return std::nullopt;
    }
    return at;
}

std::optional<player_options> parse_player(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays a show's video with the yo-yos started in step."));
    parser.addPositionalArgument(QStringLiteral("video"), QStringLiteral("The video to open at start-up."),
                                 QStringLiteral("[video]"));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("The start delay, 5 to 1200 seconds, as the delay field takes it."),
                                   QStringLiteral("SECONDS"));
    const QCommandLineOption full_screen(QStringLiteral("full-screen"), QStringLiteral("Start in full-screen mode."));
    const QCommandLineOption play_at(
        QStringLiteral("play-at"),
        QStringLiteral("Press Play at TIME: YYYY-MM-DDTHH:MM:SS[.mmm][Z|+HH:MM], HH:MM[:SS[.mmm]] (the next such "
                       "moment) or @SECONDS since the Unix epoch. Needs a video. A double-click or Escape disarms it."),
        QStringLiteral("TIME"));
    parser.addOptions({delay, full_screen, play_at});
    player_options options;
    if (!parse(parser, arguments, &options.osc))
        return std::nullopt;

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        complain(QStringLiteral("command line"), QStringLiteral("one video at most; the others are ignored"));
    options.video = positional.value(0);
    options.full_screen = parser.isSet(full_screen);
    if (parser.isSet(delay)) {
        options.delay = parser.value(delay);
        bool number = false;
        options.delay.toInt(&number, 10);
        if (!number) {
            complain(QStringLiteral("--delay"), QStringLiteral("'%1' is no number").arg(options.delay));
            return std::nullopt;
        }
    }
    if (parser.isSet(play_at)) {
        QString why;
        options.play_at = remote::parse_start_time(parser.value(play_at), remote::start_clock::now(), &why);
        if (!options.play_at || options.video.isEmpty()) {
            complain(QStringLiteral("--play-at"), options.play_at ? QStringLiteral("needs a video") : why);
            return std::nullopt;
        }
    }
    return options;
}

std::optional<listen_at> parse_colour(const QStringList &arguments, bool *ok)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Sends a colour to every Bluetooth yo-yo."));
    std::optional<listen_at> osc;
    *ok = parse(parser, arguments, &osc);
    if (*ok && !parser.positionalArguments().isEmpty())
        complain(QStringLiteral("command line"), QStringLiteral("takes no file; ignored"));
    return osc;
}

} // namespace command_line
