#pragma once

#include <QMainWindow>

namespace Ui {
class tz3_player_main;
}

class tz3_player_main : public QMainWindow
{
    Q_OBJECT

public:
    explicit tz3_player_main(QWidget *parent = nullptr);
    ~tz3_player_main() override;

private:
    Ui::tz3_player_main *ui;
};
