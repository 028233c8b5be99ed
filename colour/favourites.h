#pragma once

#include <QColor>
#include <QString>
#include <QVector>

// The five favourite swatch colours, kept between runs in a small text file:
// one colour name per line, read once at start and written once at close.

inline constexpr int favourite_count = 5;

// "<USERPROFILE>\.vantrel_skeel" on Windows, "$HOME/.vantrel_skeel"
// elsewhere; empty when HOME is unset or not absolute, which means no file.
QString favourites_path();

// Always five colours: the defaults when the file cannot be read; a line
// that is no colour name gives opaque black.
QVector<QColor> load_favourites();

// Replaces the file as a whole or, on any failure, leaves it as it was.
void save_favourites(const QVector<QColor> &colours);
