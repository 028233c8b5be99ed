#include "color_pallet_item.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QPalette>

ColorPalletItem::ColorPalletItem(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setColor(QColor(0, 0, 0, 255));
}

void ColorPalletItem::setColor(const QColor &c)
{
    colour = c;
    QPalette p = palette();
    p.setBrush(QPalette::All, QPalette::Window, QBrush(c, Qt::SolidPattern));
    setPalette(p);
    repaint();
}

QColor ColorPalletItem::color() const
{
    return colour;
}

void ColorPalletItem::mousePressEvent(QMouseEvent *e)
{
    switch (e->button()) {
    case Qt::LeftButton:
        emit clicked(false);
        break;
    case Qt::RightButton: {
        // The toolkit's own dialog, so that it has OK and Cancel and shows no
        // alpha: alpha is never kept.
        QColorDialog dialog;
        dialog.setOptions(QColorDialog::DontUseNativeDialog);
        dialog.setCurrentColor(colour);
        dialog.setWindowFlags(Qt::Dialog);
        if (dialog.exec() == QDialog::Accepted)
            setColor(dialog.selectedColor());
        break;
    }
    default:
        break;
    }
}
