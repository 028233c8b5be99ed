#pragma once

#include <QString>

#include <memory>

// Just enough of an X client to see a program's top-level window from the
// outside and close it the way a window manager does.
class X11Client
{
public:
    X11Client();
    ~X11Client();

    struct Window {
        unsigned id = 0;
        QString title;
        QString type; // _NET_WM_WINDOW_TYPE, e.g. "_NET_WM_WINDOW_TYPE_DIALOG"
        int width = 0;
        int height = 0;
        bool viewable = false;
    };

    bool connected() const;
    // The first viewable top-level window that process `pid` owns, if any.
    Window window_of(qint64 pid);
    // Asks the window to close (WM_DELETE_WINDOW), as a close button does.
    void close(unsigned window);

private:
    struct Connection;
    std::unique_ptr<Connection> connection;
};
