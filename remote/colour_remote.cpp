#include "colour_remote.h"

#include <QColor>
#include <QRegularExpression>

namespace remote {

colour_remote::colour_remote(colour_control &window, osc_endpoint &endpoint, QObject *parent)
    : QObject(parent)
    , window(window)
    , endpoint(endpoint)
{
    const auto answered = [this](handler run) {
        return remote::answered(run, [this](const peer &to) {
            this->endpoint.reply(to, QStringLiteral("yoyos"), {yoyos().first, yoyos().second});
        });
    };
    endpoint.add(QStringLiteral("colour"), {QStringLiteral("iii"), QStringLiteral("s")},
                 answered([this](const command &done) {
                     QColor colour;
                     if (done.types == QLatin1String("s")) {
                         const QString name = done.args[0].toString();
                         if (!QRegularExpression(QStringLiteral("^#[0-9A-Fa-f]{6}$")).match(name).hasMatch())
                             return QStringLiteral("'%1' is no colour: give #rrggbb").arg(name.left(32));
                         colour = QColor(name);
                     } else {
                         int rgb[3];
                         for (int i = 0; i < 3; ++i) {
                             rgb[i] = done.args[i].toInt();
                             if (rgb[i] < 0 || rgb[i] > 255)
                                 return QStringLiteral("each part of a colour is 0 to 255");
                         }
                         colour = QColor(rgb[0], rgb[1], rgb[2]);
                     }
                     this->window.pick_colour(colour);
                     return QString();
                 }));
    endpoint.add(QStringLiteral("favourite"), {QStringLiteral("i")}, answered([this](const command &done) {
        const int number = done.args[0].toInt();
        if (number < 1 || number > 5)
            return QStringLiteral("favourites are 1 to 5");
        this->window.pick_favourite(number);
        return QString();
    }));
    endpoint.add(QStringLiteral("black"), {QString()}, answered([this](const command &) {
        this->window.pick_black();
        return QString();
    }));
    endpoint.add(QStringLiteral("subscribe"), {QString()}, answered([this](const command &done) {
        return this->endpoint.subscribe(done.sender) ? QString() : QStringLiteral("too many subscribers");
    }));

    // The poller lists the yo-yos four times a second; a colour goes out at once.
    connect(&yoyo_check, &QTimer::timeout, this, [this] {
        if (yoyos() != last_yoyos) {
            last_yoyos = yoyos();
            this->endpoint.notify(QStringLiteral("yoyos"), {last_yoyos.first, last_yoyos.second});
        }
    });
    yoyo_check.start(250);
}

QPair<int, int> colour_remote::yoyos() const
{
    return {window.listed_yoyos(), window.took_last_report()};
}

} // namespace remote
