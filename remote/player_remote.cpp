#include "player_remote.h"

namespace remote {

namespace {

QString state_name(player_control::show_state state)
{
    switch (state) {
    case player_control::show_state::idle: return QStringLiteral("idle");
    case player_control::show_state::counting: return QStringLiteral("counting");
    case player_control::show_state::playing: return QStringLiteral("playing");
    case player_control::show_state::ended: return QStringLiteral("ended");
    }
    return QString();
}

} // namespace

player_remote::player_remote(player_control &window, osc_endpoint &endpoint, timed_start &start, QObject *parent)
    : QObject(parent)
    , window(window)
    , endpoint(endpoint)
    , start(start)
{
    // A command done is answered with the state it left the show in.
    const auto answered = [this](handler run) { return remote::answered(run, [this](const peer &to) { tell(to); }); };
    endpoint.add(QStringLiteral("open"), {QStringLiteral("s")}, answered([this](const command &done) {
        return this->window.open_video(done.args[0].toString());
    }));
    endpoint.add(QStringLiteral("delay"), {QStringLiteral("i"), QStringLiteral("s")},
                 answered([this](const command &done) { return this->window.enter_delay(done.args[0].toString()); }));
    // In a bundle that is due later, Play is pressed so as to start on its time.
    endpoint.add(QStringLiteral("play"), {QString()}, answered([this](const command &done) {
        return done.at ? play_at(done.at, QString()) : this->window.press_play();
    }), true);
    endpoint.add(QStringLiteral("play_at"), {QStringLiteral("t"), QStringLiteral("d")},
                 answered([this](const command &done) {
                     QString why;
                     const auto at = from_unix_seconds(done.args[0].toDouble(), &why);
                     return play_at(at, why);
                 }));
    endpoint.add(QStringLiteral("stop"), {QString()}, answered([this](const command &) {
        return this->start.disarm() ? QString() : this->window.stop_show_now();
    }));
    endpoint.add(QStringLiteral("full_screen"), {QStringLiteral("i")}, answered([this](const command &done) {
        return this->window.enter_full_screen(done.args[0].toInt() != 0);
    }));
    endpoint.add(QStringLiteral("subscribe"), {QString()}, [this](const command &done) {
        if (!this->endpoint.subscribe(done.sender))
            return QStringLiteral("too many subscribers");
        tell(done.sender);
        const QPair<int, int> yoyos(this->window.listed_yoyos(), this->window.took_last_report());
        this->endpoint.reply(done.sender, QStringLiteral("yoyos"), {yoyos.first, yoyos.second});
        return QString();
    });

    window.watch_show(this, [this] { show_changed(); });
    // Discovery lists the yo-yos once a second.
    connect(&yoyo_check, &QTimer::timeout, this, [this] { yoyos_changed(); });
    yoyo_check.start(500);
}

QString player_remote::play_at(const std::optional<start_clock::time_point> &at, const QString &why)
{
    return at ? start.arm(*at) : why;
}

void player_remote::tell(const peer &to)
{
    const player_control::show_state state = window.state();
    endpoint.reply(to, QStringLiteral("state"), {state_name(state)});
    if (state == player_control::show_state::counting)
        endpoint.reply(to, QStringLiteral("remaining"), {window.remaining()});
}

void player_remote::show_changed()
{
    const player_control::show_state state = window.state();
    if (state != last_state) {
        last_state = state;
        endpoint.notify(QStringLiteral("state"), {state_name(state)});
    }
    const int remaining = state == player_control::show_state::counting ? window.remaining() : -1;
    if (remaining >= 0 && remaining != last_remaining)
        endpoint.notify(QStringLiteral("remaining"), {remaining});
    last_remaining = remaining;
    yoyos_changed();
}

void player_remote::yoyos_changed()
{
    const QPair<int, int> yoyos(window.listed_yoyos(), window.took_last_report());
    if (yoyos != last_yoyos) {
        last_yoyos = yoyos;
        endpoint.notify(QStringLiteral("yoyos"), {yoyos.first, yoyos.second});
    }
}

} // namespace remote
