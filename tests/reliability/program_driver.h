#pragma once

// Steers a real program in the test's X session from the outside, as an
// operator would: clicks on its widgets, typing, and closing its window the
// way a window manager does. Where a widget lies is read from a copy of the
// same window built in the test process at the same size.

#include "x11_client.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QWidget>

class ProgramDriver
{
public:
    explicit ProgramDriver(QWidget &layout_copy)
        : copy(layout_copy)
    {
        copy.setAttribute(Qt::WA_DontShowOnScreen);
        copy.show();
    }

    // Starts the program and waits for its window; false if none came.
    bool start(const QString &program, const QProcessEnvironment &environment)
    {
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, QStringList());
        if (!process.waitForStarted())
            return false;
        QElapsedTimer clock;
        clock.start();
        while (!(window = display.window_of(process.processId())).viewable && clock.elapsed() < 20000)
            QTest::qWait(50);
        if (!window.viewable)
            return false;
        copy.resize(window.width, window.height);
        QTest::qWait(0);
        return true;
    }

    // A click in the middle of the widget of that name.
    void click(const char *object_name)
    {
        auto *widget = copy.findChild<QWidget *>(QString::fromLatin1(object_name));
        const QPoint at = widget->mapTo(&copy, widget->rect().center());
        xdotool({"mousemove", "--window", QString::number(window.id), QString::number(at.x()),
                 QString::number(at.y()), "click", "1"});
    }

    // Waits for a top-level window with exactly this title; returns its id,
    // or 0 when none came.
    unsigned wait_for_window(const QString &title)
    {
        QProcess tool;
        tool.start("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^" + title + "$"});
        if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
            return 0;
        return tool.readAllStandardOutput().split('\n').first().toUInt();
    }

    // Picks a file in the dialog of that title by typing its path. On a busy
    // machine keys may reach the dialog before its line edit has the focus,
    // and a Return may only close the path completer's list, so this types
    // again until the dialog has gone. False when it never came or never went.
    bool pick_file(const QString &dialog_title, const QString &path)
    {
        const unsigned dialog = wait_for_window(dialog_title);
        if (!dialog)
            return false;
        for (int attempt = 0; attempt < 5; ++attempt) {
            // Keys go to the window under the pointer while no window has the focus.
            xdotool({"mousemove", "--window", QString::number(dialog), "10", "10"});
            key("ctrl+a");
            type(path);
            for (int enter = 0; enter < 3; ++enter) {
                key("Return");
                QElapsedTimer clock;
                clock.start();
                while (is_visible(dialog_title) && clock.elapsed() < 1000)
                    QTest::qWait(50);
                if (!is_visible(dialog_title)) {
                    if (attempt + enter > 0)
                        qInfo("the dialog took the path after %d typings and %d Returns", attempt + 1, enter + 1);
                    return true;
                }
            }
        }
        return false;
    }

    // Asks a window to close, as its close button does.
    void close(unsigned window_id) { display.close(window_id); }

    void type(const QString &text) { xdotool({"type", "--delay", "2", text}); }
    void key(const QString &name) { xdotool({"key", name}); }

    // Closes the main window; returns how long the program took to end, or
    // -1 when it did not end within `msecs`.
    qint64 close_and_wait(int msecs)
    {
        QElapsedTimer clock;
        clock.start();
        display.close(window.id);
        return process.waitForFinished(msecs) ? clock.elapsed() : -1;
    }

    QProcess process;
    X11Client display;
    X11Client::Window window;

private:
    bool is_visible(const QString &title)
    {
        return xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
    }

    bool xdotool(const QStringList &arguments, int msecs = 5000)
    {
        QProcess tool;
        tool.start("xdotool", arguments);
        return tool.waitForFinished(msecs) && tool.exitCode() == 0;
    }

    QWidget &copy;
};
