#pragma once

#include "broadcast.h"
#include "colour_control.h"
#include "favourites.h"

#include <QMainWindow>

#include <array>

class ColorPalletItem;
class Thread;
class yoyo_panel;

namespace Ui {
class vantrel;
}

// The colour tool's window: five favourite swatches and a colour panel whose
// colour goes to every Bluetooth yo-yo, on Send or, with Auto, on every pick.
class vantrel : public QMainWindow, public remote::colour_control
{
    Q_OBJECT

public:
    explicit vantrel(QWidget *parent = nullptr);
    ~vantrel() override;

    // Show control (vantrel_remote.cpp).
    void pick_colour(const QColor &colour) override;
    void pick_favourite(int number) override;
    void pick_black() override;
    int listed_yoyos() const override;
    int took_last_report() const override;

protected:
    void keyPressEvent(QKeyEvent *e) override;

private slots:
    void on_chk_send_auto_stateChanged(int arg1);
    void on_btn_send_col_clicked();
    void on_btn_reset_col_clicked();
    void on_col_f1_clicked();
    void on_col_f2_clicked();
    void on_col_f3_clicked();
    void on_col_f4_clicked();
    void on_col_f5_clicked();
    void on_btn_version_info_clicked();
    void showEvent(QShowEvent *e) override;

private:
#ifndef Q_OS_WIN
    void light_entry_text();
#endif
    std::array<ColorPalletItem *, favourite_count> swatches() const;
    void show_yoyo_count(hid_device_info *found);
    void stop_polling();

    Ui::vantrel *ui;
    Thread *poll_thread;
    // Each yo-yo's last outcome, and the warning on the count. Only the last
    // colour written to a yo-yo shows: one replaced while it waited never
    // reached it.
    yoyo_panel *panel = nullptr;
    // Colours go to the yo-yos in parallel; a yo-yo still being written to
    // gets only the newest colour next. Its destructor, which follows the
    // window's, waits for the deliveries, so the black sent on close reaches
    // every yo-yo before the window has gone: one open, write and close each,
    // with no answer to wait for (hidapi gives a write at most a second on
    // Windows).
    yoyo::Broadcast broadcast;

    friend struct vantrel_test_access;
};
