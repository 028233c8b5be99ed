#pragma once

#include "osc_endpoint.h"
#include "player_control.h"
#include "timed_start.h"

#include <QObject>
#include <QTimer>

namespace remote {

// The show player's OSC commands under /pulsetra, and its state sent back:
// each command's sender gets the state (or /pulsetra/error), subscribers
// every change of state, the countdown's seconds and the yo-yo counts.
class player_remote : public QObject
{
    Q_OBJECT

public:
    player_remote(player_control &window, osc_endpoint &endpoint, timed_start &start, QObject *parent = nullptr);

private:
    QString play_at(const std::optional<start_clock::time_point> &at, const QString &why);
    void tell(const peer &to);
    void show_changed();
    void yoyos_changed();

    player_control &window;
    osc_endpoint &endpoint;
    timed_start &start;
    player_control::show_state last_state = player_control::show_state::idle;
    int last_remaining = -1;
    QPair<int, int> last_yoyos{-1, -1};
    QTimer yoyo_check;
};

} // namespace remote
