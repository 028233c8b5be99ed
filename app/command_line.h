#pragma once

#include "start_time.h"

namespace remote {
class osc_endpoint;
}

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>

// The programs' options. --help and --version print and end the program; a
// refusal is printed on stderr and the caller ends with exit code 2. Options
// and arguments the program has no use for are ignored, with a line on stderr.
namespace command_line {

// Where OSC is listened for: [ADDRESS:]PORT, the loopback address unless
// one is given.
struct listen_at {
    QHostAddress address;
    quint16 port = 0;
};
std::optional<listen_at> parse_listen(const QString &text, QString *why);

struct player_options {
    QString video;
    QString delay;
    bool full_screen = false;
    std::optional<remote::start_clock::time_point> play_at;
    std::optional<listen_at> osc;
};
std::optional<player_options> parse_player(const QStringList &arguments);

// The colour tool takes --osc alone.
std::optional<listen_at> parse_colour(const QStringList &arguments, bool *ok);

// Listens where --osc said, if it did; false after a refusal.
bool listen(remote::osc_endpoint &endpoint, const std::optional<listen_at> &osc);

// "<program>: <what>: <why>" on stderr.
void complain(const QString &what, const QString &why);

} // namespace command_line
