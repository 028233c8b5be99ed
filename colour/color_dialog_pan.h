#pragma once

#include <QColorDialog>

// The colour dialog embedded in the window as an ordinary child widget: no
// OK or Cancel, and Escape cannot close it.
class QColorDialogPan : public QColorDialog
{
    Q_OBJECT

public:
    explicit QColorDialogPan(QWidget *parent = nullptr);

    // Makes `c` current and always reports it through currentColorChanged,
    // also when it already was current: every pick counts as a change.
    void selectColor(const QColor &c);

    bool eventFilter(QObject *watched, QEvent *event) override;
};
