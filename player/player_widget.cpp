#include "player_widget.h"
#include "ui_player_widget.h"

player_widget::player_widget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::player_widget)
{
    ui->setupUi(this);
}

player_widget::~player_widget()
{
    delete ui;
}

QString player_widget::open_media(const QString &)
{
    return QString();
}

bool player_widget::has_media() const
{
    return media != nullptr;
}

void player_widget::start_playback()
{
}

void player_widget::stop_playback()
{
}

bool player_widget::is_playing() const
{
    return false;
}

void player_widget::mouseDoubleClickEvent(QMouseEvent *)
{
    emit double_clicked();
}
