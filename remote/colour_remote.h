#pragma once

#include "colour_control.h"
#include "osc_endpoint.h"

#include <QObject>
#include <QPair>
#include <QTimer>

namespace remote {

// The colour tool's OSC commands under /skeel. Each command's sender, and
// every subscriber on a change, gets /skeel/yoyos: how many are listed and
// how many took the last colour.
class colour_remote : public QObject
{
    Q_OBJECT

public:
    colour_remote(colour_control &window, osc_endpoint &endpoint, QObject *parent = nullptr);

private:
    QPair<int, int> yoyos() const;

    colour_control &window;
    osc_endpoint &endpoint;
    QPair<int, int> last_yoyos{-1, -1};
    QTimer yoyo_check;
};

} // namespace remote
