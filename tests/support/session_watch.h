#pragma once

#include <QColor>
#include <QImage>
#include <QProcess>

#include <algorithm>

// The test clip's colour bars fill a tenth of the image; a show is otherwise black.
inline bool shows_clip(const QImage &image)
{
    int vivid = 0, samples = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4, ++samples) {
            const QColor c = image.pixelColor(x, y);
            vivid += std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 128;
        }
    }
    return vivid * 10 > samples;
}

// The sound server's streams as "pactl list sink-inputs" describes them
// (empty when there is none), or "?" when it cannot be asked.
inline QByteArray sound_streams()
{
    QProcess pactl;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", "C");
    pactl.setProcessEnvironment(environment);
    pactl.start("pactl", {"list", "sink-inputs"});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
        return "?";
    return pactl.readAllStandardOutput().trimmed();
}
