#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Measures how long the GUI thread's event loop went without turning: a
// fast timer notes the longest gap between two of its timeouts while it
// runs. Anything that blocks the GUI thread shows up as a long gap.
class GuiStall : public QObject
{
public:
    GuiStall()
    {
        ticker.setTimerType(Qt::PreciseTimer);
        connect(&ticker, &QTimer::timeout, this, [this] {
            if (since_last.isValid())
                longest = qMax(longest, since_last.restart());
            else
                since_last.start();
        });
        ticker.start(5);
    }

    qint64 longest_ms() const { return longest; }
    void reset()
    {
        longest = 0;
        since_last.invalidate();
    }

private:
    QTimer ticker;
    QElapsedTimer since_last;
    qint64 longest = 0;
};
