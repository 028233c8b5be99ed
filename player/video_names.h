#pragma once

#include <QChar>
#include <QString>

// Path and name handling for opened media files. The separator is a
// parameter so that the Windows rules can be exercised on any platform.

// The path with every '/' turned into the platform's native separator;
// unchanged where that separator is '/'.
inline QString native_media_path(QString path, QChar separator)
{
    return path.replace(QLatin1Char('/'), separator);
}

// The part of a native path after its last separator; a path without any
// is taken whole.
inline QString media_file_name(const QString &native_path, QChar separator)
{
    return native_path.mid(native_path.lastIndexOf(separator) + 1);
}

// A name short enough for the window's label: more than 20 characters are
// cut to the first 20 followed by "...".
inline QString elide_name(const QString &name)
{
    const int longest = 20;
    if (name.size() <= longest)
        return name;
    // A character outside the basic plane that straddles the cut is left
    // out whole rather than halved into an invalid string.
    const int cut = name.at(longest - 1).isHighSurrogate() ? longest - 1 : longest;
    return name.left(cut) + QStringLiteral("...");
}
