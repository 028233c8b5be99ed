// The three interface fonts as the programs use them: they register under
// their family names, every glyph the windows show is there, and the two
// fonts of our own draw nothing else.
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainterPath>
#include <QRawFont>
#include <QtTest>

namespace {

QByteArray font_data(const QString &file)
{
    QFile font(":/fonts/" + file);
    if (!font.open(QIODevice::ReadOnly))
        return {};
    return font.readAll();
}

QStringList hex(const QList<uint> &characters)
{
    QStringList names;
    for (uint ucs4 : characters)
        names << QString::number(ucs4, 16);
    return names;
}

quint32 glyph_of(const QRawFont &font, uint ucs4)
{
    return font.glyphIndexesForString(QString::fromUcs4(&ucs4, 1)).value(0);
}

// The characters the font has glyphs for. Qt itself draws tab and no-break
// space with the font's space, so those count only if they have their own.
QList<uint> supported_characters(const QRawFont &font)
{
    const quint32 space = font.supportsCharacter(' ') ? glyph_of(font, ' ') : 0;
    QList<uint> supported;
    for (uint ucs4 = 0; ucs4 <= 0x10FFFF; ++ucs4) {
        if (font.supportsCharacter(ucs4) && (ucs4 == ' ' || glyph_of(font, ucs4) != space))
            supported << ucs4;
    }
    return supported;
}

QList<uint> range(uint first, uint last)
{
    QList<uint> characters;
    for (uint ucs4 = first; ucs4 <= last; ++ucs4)
        characters << ucs4;
    return characters;
}

QList<uint> characters_of(const QString &text)
{
    QList<uint> characters;
    for (uint ucs4 : text.toUcs4())
        characters << ucs4;
    return characters;
}

} // namespace

class tst_interface_fonts : public QObject
{
    Q_OBJECT

private slots:
    void registers_under_family_data();
    void registers_under_family();
    void used_glyphs_data();
    void used_glyphs();
    void only_listed_characters_data();
    void only_listed_characters();
};

void tst_interface_fonts::registers_under_family_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("family");
    QTest::newRow("pictograms") << "Entypo+.ttf" << "Entypo+";
    QTest::newRow("logo") << "talvek_logo.ttf" << "TZ3TalvekLogo";
    QTest::newRow("product icons") << "tz3_other_icons.ttf" << "TZ3OtherIcons";
}

void tst_interface_fonts::registers_under_family()
{
    QFETCH(QString, file);
    QFETCH(QString, family);
    const int id = QFontDatabase::addApplicationFont(":/fonts/" + file);
    QVERIFY(id >= 0);
    QCOMPARE(QFontDatabase::applicationFontFamilies(id), QStringList{family});
    QCOMPARE(QFontDatabase().styles(family), QStringList{"Regular"});
    QCOMPARE(QFontInfo(QFont(family, 20)).family(), family);
}

void tst_interface_fonts::used_glyphs_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<uint>>("characters");
    QTest::newRow("skeel pictograms") << "Entypo+.ttf" << QList<uint>{0xE0B1, 0xE07B, 0xE120};
    QTest::newRow("show player pictograms")
        << "Entypo+.ttf"
        << QList<uint>{0xE05E, 0xE07B, 0xE09B, 0xE0B1, 0xE100, 0xE101, 0xE11E, 0xE120};
    QTest::newRow("maker line") << "talvek_logo.ttf"
                                << characters_of(QString(QChar(0xA9)) + " Talvek");
    QTest::newRow("about dialog logos") << "tz3_other_icons.ttf" << QList<uint>{0xE002, 0xE003, 0xE004};
}

// Each character the windows show maps to a glyph that draws something
// (only the space may be blank).
void tst_interface_fonts::used_glyphs()
{
    QFETCH(QString, file);
    QFETCH(QList<uint>, characters);
    const QRawFont font(font_data(file), 48);
    QVERIFY(font.isValid());
    for (uint ucs4 : characters) {
        QVERIFY2(font.supportsCharacter(ucs4), qPrintable(QString::number(ucs4, 16)));
        const quint32 glyph = glyph_of(font, ucs4);
        QVERIFY(glyph != 0);
        if (ucs4 != ' ')
            QVERIFY2(!font.pathForGlyph(glyph).isEmpty(), qPrintable(QString::number(ucs4, 16)));
    }
}

void tst_interface_fonts::only_listed_characters_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<uint>>("characters");
    QList<uint> maker_line = characters_of(QString(QChar(0xA9)) + " Talvek");
    std::sort(maker_line.begin(), maker_line.end());
    QTest::newRow("logo") << "talvek_logo.ttf" << maker_line;
    QTest::newRow("product icons") << "tz3_other_icons.ttf" << range(0xE000, 0xE004);
    QTest::newRow("pictograms") << "Entypo+.ttf" << range(0xE000, 0xE19A);
}

void tst_interface_fonts::only_listed_characters()
{
    QFETCH(QString, file);
    QFETCH(QList<uint>, characters);
    const QRawFont font(font_data(file), 12);
    QVERIFY(font.isValid());
    QCOMPARE(hex(supported_characters(font)).join(" "), hex(characters).join(" "));
}

QTEST_MAIN(tst_interface_fonts)
#include "tst_interface_fonts.moc"
