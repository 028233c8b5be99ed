#pragma once

#include "outcome.h"

#include <QTime>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

#include <hidapi.h>

class QLabel;

namespace Ui {
class yoyo_panel;
}

// Every listed yo-yo with the outcome of the last report it was sent: a tool
// window beside a program's main window, opened by a click on the window's
// yo-yo count or by Ctrl+Y. The count itself turns to a warning colour once a
// broadcast has ended without reaching every yo-yo it went to, and its tooltip
// names the yo-yos that missed it; the next broadcast that reaches them all
// clears it. Nothing here waits for a device or interrupts the show.
class yoyo_panel : public QWidget
{
    Q_OBJECT

public:
    yoyo_panel(QLabel *count, QWidget *window);
    ~yoyo_panel() override;

    // Discovery's latest list: the panel's rows.
    void listed(const hid_device_info *yoyos);
    // The yo-yos that the broadcast's send of `round` went to.
    void sent(unsigned round, const hid_device_info *yoyos);
    // On any thread: the outcome goes on to the panel's thread.
    void hand_over(const yoyo::Outcome &outcome);

    // How many yo-yos took the latest report whose deliveries have all ended.
    int took_last_report() const { return took_last; }

    void open();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Yoyo {
        std::string path;
        QString serial;
    };
    struct Seen {
        yoyo::Outcome outcome;
        QTime at;
    };

    void take(const yoyo::Outcome &outcome);
    void judge_last_report();
    void show_rows();

    Ui::yoyo_panel *ui;
    QLabel *count;
    const QString count_style;
    std::vector<Yoyo> yoyos;
    // Each yo-yo's latest outcome, by path.
    std::map<std::string, Seen> seen;
    unsigned last_round = 0;
    std::vector<Yoyo> last_sent;
    int took_last = 0;
};
