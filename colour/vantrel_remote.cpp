// The window's side of show control: a colour as if picked in the panel, a
// favourite as if its swatch were clicked, black as Reset gives it. Whether
// it goes out depends on Auto, as for the operator.
#include "vantrel.h"
#include "ui_vantrel.h"

#include "discovery.h"
#include "yoyo_list.h"
#include "yoyo_panel.h"

void vantrel::pick_colour(const QColor &colour)
{
    ui->col_pan->selectColor(colour);
}

void vantrel::pick_favourite(int number)
{
    ui->col_pan->selectColor(swatches().at(std::size_t(number - 1))->color());
}

void vantrel::pick_black()
{
    on_btn_reset_col_clicked();
}

int vantrel::listed_yoyos() const
{
    return yoyo::count_records(yoyo_devices);
}

int vantrel::took_last_report() const
{
    return panel->took_last_report();
}
