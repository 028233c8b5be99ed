#include "vantrel.h"
#include "ui_vantrel.h"

vantrel::vantrel(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::vantrel)
{
    ui->setupUi(this);
}

vantrel::~vantrel()
{
    delete ui;
}
