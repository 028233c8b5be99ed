#pragma once

#include <QDialog>

namespace Ui {
class version_dlg;
}

class version_dlg : public QDialog
{
    Q_OBJECT

public:
    explicit version_dlg(QWidget *parent = nullptr);
    ~version_dlg() override;

private:
    Ui::version_dlg *ui;
};
