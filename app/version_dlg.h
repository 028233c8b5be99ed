#pragma once

#include <QDialog>

namespace Ui {
class version_dlg;
}

// The about dialog: program name, version, maker and the licence texts of
// the open-source components that the program carries.
class version_dlg : public QDialog
{
    Q_OBJECT

public:
    explicit version_dlg(QWidget *parent = nullptr);
    ~version_dlg() override;

protected:
    // Pins the dialog to the size the layout first gave it.
    void resizeEvent(QResizeEvent *event) override;

private:
    Ui::version_dlg *ui;
};
