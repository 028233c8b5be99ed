#pragma once

#include <QMainWindow>

namespace Ui {
class vantrel;
}

class vantrel : public QMainWindow
{
    Q_OBJECT

public:
    explicit vantrel(QWidget *parent = nullptr);
    ~vantrel() override;

private:
    Ui::vantrel *ui;
};
