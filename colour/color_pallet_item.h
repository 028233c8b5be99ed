#pragma once

#include <QColor>
#include <QWidget>

// A favourite-colour swatch: a rectangle filled with its colour. A left click
// reports the click; a right click lets the operator pick a new colour.
class ColorPalletItem : public QWidget
{
    Q_OBJECT

public:
    explicit ColorPalletItem(QWidget *parent = nullptr);

    void setColor(const QColor &c);
    QColor color() const;

signals:
    void clicked(bool checked = false);

protected:
    void mousePressEvent(QMouseEvent *e) override;

private:
    QColor colour;
};
