#pragma once

#include <QImage>

#include <utility>

class QWidget;

// Reads back from the screen what is drawn in a widget's area, whoever drew
// it (libvlc draws into the widget's native window behind Qt's back): two
// lines through its middle, across and down, enough to tell one picture from
// another without copying the whole frame.
class picture_watch
{
public:
    explicit picture_watch(const QWidget *area);

    // Notes what the area shows now; false if the screen cannot be read
    // back here.
    bool mark();
    // The area shows a picture other than the one marked: not one plain
    // colour, which is a window being cleared rather than a video's frame.
    bool shows_new_picture() const;

private:
    using lines = std::pair<QImage, QImage>;
    lines read() const;
    static bool plain(const lines &seen);

    const QWidget *area;
    lines marked;
};
