#include "version_dlg.h"
#include "ui_version_dlg.h"

version_dlg::version_dlg(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::version_dlg)
{
    ui->setupUi(this);
}

version_dlg::~version_dlg()
{
    delete ui;
}
