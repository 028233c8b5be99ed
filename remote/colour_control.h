#pragma once

class QColor;

namespace remote {

// What the colour tool's window lets a remote do, each as its own control
// would: a colour picked in the panel, a favourite swatch, Reset.
class colour_control
{
public:
    virtual void pick_colour(const QColor &colour) = 0;
    // 1 to 5.
    virtual void pick_favourite(int number) = 0;
    virtual void pick_black() = 0;

    virtual int listed_yoyos() const = 0;
    // How many yo-yos took the last colour.
    virtual int took_last_report() const = 0;

protected:
    ~colour_control() = default;
};

} // namespace remote
