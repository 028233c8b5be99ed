#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QObject;
class QWidget;

namespace remote {

// What the show player's window lets a remote do: each call takes the path
// of the window's own control, with its refusals. The calls that can be
// refused return why, or an empty string when done.
class player_control
{
public:
    enum class show_state { idle, counting, playing, ended };

    // As the open button does with a file picked in its dialog.
    virtual QString open_video(const QString &path) = 0;
    // As the delay field does when editing ends.
    virtual QString enter_delay(const QString &text) = 0;
    // As the Play button; with `fire`, the start reports are written at
    // that moment on the monotonic clock, and the show counts from it.
    virtual QString press_play(std::optional<std::chrono::steady_clock::time_point> fire = {}) = 0;
    // As a double-click on the video: aborts the countdown or stops the show.
    virtual QString stop_show_now() = 0;
    virtual QString enter_full_screen(bool on) = 0;

    virtual bool has_video() const = 0;
    virtual show_state state() const = 0;
    // The countdown's seconds left while counting.
    virtual int remaining() const = 0;
    virtual int listed_yoyos() const = 0;
    // How many yo-yos took the last report.
    virtual int took_last_report() const = 0;
    virtual QWidget *main_window() = 0;
    // `changed` runs on every change of state and every countdown tick, for
    // as long as `context` lives.
    virtual void watch_show(QObject *context, std::function<void()> changed) = 0;

protected:
    ~player_control() = default;
};

} // namespace remote
