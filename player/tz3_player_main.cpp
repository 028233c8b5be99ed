#include "tz3_player_main.h"
#include "ui_tz3_player_main.h"

tz3_player_main::tz3_player_main(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::tz3_player_main)
{
    ui->setupUi(this);
}

tz3_player_main::~tz3_player_main()
{
    delete ui;
}
