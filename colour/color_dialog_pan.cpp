#include "color_dialog_pan.h"

#include <QKeyEvent>

QColorDialogPan::QColorDialogPan(QWidget *parent)
    : QColorDialog(parent)
{
    setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
    setWindowFlags(Qt::Widget);
    installEventFilter(this);
    selectColor(Qt::black);
    show();
}

void QColorDialogPan::selectColor(const QColor &c)
{
    if (c == currentColor())
        emit currentColorChanged(c);
    else
        setCurrentColor(c);
}

bool QColorDialogPan::eventFilter(QObject *, QEvent *event)
{
    // A dialog hides itself on Escape; this one is part of the window. Key
    // presses that the inner fields ignore come up here as well.
    return event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
}
