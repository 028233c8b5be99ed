#pragma once

#include <QString>
#include <QWidget>

namespace Ui {
class player_widget;
}

struct libvlc_media_player_t;
struct libvlc_media_t;

// The surface the show's video plays in, over libvlc.
class player_widget : public QWidget
{
    Q_OBJECT

public:
    explicit player_widget(QWidget *parent = nullptr);
    ~player_widget() override;

    // Loads a file; returns its shortened name, or an empty string when the
    // file cannot be used (the media loaded before stays loaded).
    QString open_media(const QString &path);
    bool has_media() const;
    void start_playback();
    void stop_playback();
    bool is_playing() const;

signals:
    void double_clicked();
    void player_stopped();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    Ui::player_widget *ui;
    libvlc_media_player_t *media_player = nullptr;
    libvlc_media_t *media = nullptr;
};
