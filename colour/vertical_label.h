#pragma once

#include <QLabel>

// An event filter that paints the text of the label it watches rotated by a
// quarter turn, reading from bottom to top. Never shown itself.
class QVerticalLabel : public QLabel
{
    Q_OBJECT

public:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// Makes `label` paint its text rotated, through one instance shared by all
// labels that lives until the application object goes.
void install_vertical_label(QWidget *label);
