#include "favourites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace {

const char *const default_colours[favourite_count] = {
    "#FF0C4D", "#F5B700", "#009EE2", "#55DDE0", "#89FC00",
};

// A longer line is read in pieces, each piece taking the next swatch.
constexpr qint64 max_line_length = 128;

// A line that names no colour becomes opaque black, so that the swatch is
// shown, saved and sent as the same black.
QColor named_colour(const QString &name)
{
    QColor colour;
    colour.setNamedColor(name);
    return colour.isValid() ? colour : QColor(0, 0, 0, 255);
}

} // namespace

QString favourites_path()
{
#ifdef Q_OS_WIN
    return QString::fromLatin1(qgetenv("USERPROFILE")) + QStringLiteral("\\.vantrel_skeel");
#else
    // Without a home directory there is no place of the user's own: the
    // favourites then live for the run only.
    const QString home = qEnvironmentVariable("HOME");
    if (!QDir::isAbsolutePath(home))
        return QString();
    return QDir(home).filePath(QStringLiteral(".vantrel_skeel"));
#endif
}

QVector<QColor> load_favourites()
{
    QVector<QColor> colours;
    const QString path = favourites_path();
    QFile file(path);
    // Only a regular file is read: opening a pipe in its place would wait
    // for a writer before the window ever showed.
    if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        for (const char *name : default_colours)
            colours.append(named_colour(QString::fromLatin1(name)));
        return colours;
    }
    QTextStream in(&file);
    for (int i = 0; i < favourite_count; ++i)
        colours.append(named_colour(in.readLine(max_line_length)));
    return colours;
}

void save_favourites(const QVector<QColor> &colours)
{
    const QString path = favourites_path();
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QTextStream out(&file);
    for (const QColor &colour : colours)
        out << colour.name() << '\n';
    out.flush();
    // commit() does not notice when its own final flush falls short; an
    // unfinished file left open is thrown away with `file`.
    if (file.flush())
        file.commit();
}
