#include "vantrel.h"
#include "ui_vantrel.h"

#include "colour_sender.h"
#include "discovery.h"
#include "hid_library.h"
#include "poll_loop.h"
#include "poll_thread.h"
#include "version_dlg.h"
#include "vertical_label.h"
#include "yoyo_list.h"
#include "yoyo_panel.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

vantrel::vantrel(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::vantrel)
    , broadcast(yoyo::bluetooth, yoyo::Broadcast::Backlog::newest_only,
                [this](const yoyo::Outcome &outcome) { panel->hand_over(outcome); })
{
    ui->setupUi(this);
#ifndef Q_OS_WIN
    light_entry_text();
#endif
    yoyo::library_init();
    install_vertical_label(ui->lbl_con_t);
    panel = new yoyo_panel(ui->lbl_con, this);

    // Every pick in the panel counts, also one of the colour already shown.
    connect(ui->col_pan, &QColorDialog::currentColorChanged, this, [this] {
        if (ui->chk_send_auto->checkState() == Qt::Checked)
            on_btn_send_col_clicked();
    }, Qt::DirectConnection);

    poll_thread = new Thread;
    // Names the system thread, so that it can be told apart in a debugger.
    poll_thread->setObjectName(QStringLiteral("yoyo-poll"));
    poll_thread->moveToThread(poll_thread);
    connect(poll_thread, &QThread::started,
            poll_loop{poll_thread, true, find_yoyo_devices, [this](hid_device_info *found) { show_yoyo_count(found); }});
    poll_thread->start(QThread::InheritPriority);

    const QVector<QColor> favourites = load_favourites();
    int i = 0;
    for (ColorPalletItem *item : swatches())
        item->setColor(favourites.at(i++));
}

vantrel::~vantrel()
{
    QVector<QColor> favourites;
    for (ColorPalletItem *item : swatches())
        favourites.append(item->color());
    save_favourites(favourites);

    on_btn_reset_col_clicked();
    stop_polling();
    delete ui;
}

#ifndef Q_OS_WIN
// The form gives entry fields black text on the window's black base. Windows
// draws its native fields white whatever the palette says; other styles draw
// the base as given, so the panel's number and HTML fields and the Auto tick
// take the window's light text instead.
void vantrel::light_entry_text()
{
    for (QWidget *entries : {static_cast<QWidget *>(ui->col_pan), static_cast<QWidget *>(ui->chk_send_auto)}) {
        QPalette light = entries->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            light.setColor(group, QPalette::Text, palette().color(group, QPalette::WindowText));
        entries->setPalette(light);
    }
}
#endif

std::array<ColorPalletItem *, favourite_count> vantrel::swatches() const
{
    return {ui->col_f1, ui->col_f2, ui->col_f3, ui->col_f4, ui->col_f5};
}

// Runs on the GUI thread with the list that the poll thread found.
void vantrel::show_yoyo_count(hid_device_info *found)
{
    ui->lbl_con->setText(QString::number(take_yoyo_devices(found)));
    panel->listed(yoyo_devices);
}

void vantrel::stop_polling()
{
    poll_thread->cancel();
    // The poll thread may be blocked handing its next count over to this
    // thread, whose event loop has usually ended by now. Serving that hand-over
    // here lets it see the cancellation and finish while the label it updates
    // still exists; it then cannot outlive the application object.
    while (!poll_thread->wait(10))
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

void vantrel::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_F1: on_col_f1_clicked(); break;
    case Qt::Key_F2: on_col_f2_clicked(); break;
    case Qt::Key_F3: on_col_f3_clicked(); break;
    case Qt::Key_F4: on_col_f4_clicked(); break;
    case Qt::Key_F5: on_col_f5_clicked(); break;
    case Qt::Key_F12:
        resize(minimumSizeHint());
        on_btn_reset_col_clicked();
        break;
    default:
        break;
    }
}

void vantrel::on_chk_send_auto_stateChanged(int arg1)
{
    ui->btn_send_col->setEnabled(arg1 == 0);
}

void vantrel::on_btn_send_col_clicked()
{
    send_colour(broadcast, yoyo_devices, ui->col_pan->currentColor());
    panel->sent(broadcast.rounds(), yoyo_devices);
}

void vantrel::on_btn_reset_col_clicked()
{
    ui->col_pan->selectColor(QColor(0, 0, 0, 255));
}

void vantrel::on_col_f1_clicked() { ui->col_pan->selectColor(ui->col_f1->color()); }
void vantrel::on_col_f2_clicked() { ui->col_pan->selectColor(ui->col_f2->color()); }
void vantrel::on_col_f3_clicked() { ui->col_pan->selectColor(ui->col_f3->color()); }
void vantrel::on_col_f4_clicked() { ui->col_pan->selectColor(ui->col_f4->color()); }
void vantrel::on_col_f5_clicked() { ui->col_pan->selectColor(ui->col_f5->color()); }

void vantrel::on_btn_version_info_clicked()
{
    version_dlg dlg(this);
    dlg.setModal(true);
    dlg.exec();
}

// Centred on the default screen with a fixed size on every show. Only the
// screen's size counts, not its origin.
void vantrel::showEvent(QShowEvent *)
{
    resize(minimumSizeHint());
    setFixedSize(width(), height());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    move((screen.width() - 1) / 2 - (width() - 1) / 2,
         (screen.height() - 1) / 2 - (height() - 1) / 2);
}
