#pragma once

#include "player_control.h"
#include "start_time.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace remote {

// Play pressed at a set time. The wall-clock moment is turned into one on
// the monotonic clock once, at arming, as the countdown keeps time on that
// clock too; Play is pressed a little ahead and given the moment itself, so
// that the start reports are written on it. While armed the window's title
// says when, and a double-click or Escape anywhere in the program disarms.
class timed_start : public QObject
{
    Q_OBJECT

public:
    explicit timed_start(player_control &window, QObject *parent = nullptr);

    // Empty when armed (a start armed before is replaced), else why not.
    QString arm(start_clock::time_point at);
    // Whether it was armed.
    bool disarm();
    bool armed() const { return is_armed; }

    // How far ahead of the set time Play is pressed: room for the broadcast
    // to open every yo-yo (100 ms at most) before the writes go out on it.
    static constexpr std::chrono::milliseconds lead{150};

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fire();

    player_control &window;
    QTimer timer;
    bool is_armed = false;
    std::chrono::steady_clock::time_point fire_at;
    QString title;
};

} // namespace remote
