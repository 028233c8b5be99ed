// Every glyph a window draws in an interface font, as start-up registers
// them: read from the forms, plus the one the show player sets at run time.
#include "startup.h"

#include <QFile>
#include <QPainterPath>
#include <QRawFont>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QStringList icon_families{"Entypo+", "TZ3OtherIcons", "TZ3TalvekLogo"};

// "family: text" of each widget of a form whose font is an icon font.
QStringList icon_texts(const QString &form)
{
    QFile file(form);
    if (!file.open(QIODevice::ReadOnly))
        return {"unreadable: " + form};
    QXmlStreamReader xml(&file);
    struct Widget { QString family, text; };
    QVector<Widget> open;
    QString property;
    QStringList found;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("widget"))
                open.append(Widget());
            else if (xml.name() == QLatin1String("property"))
                property = xml.attributes().value("name").toString();
            else if (xml.name() == QLatin1String("family") && property == "font" && !open.isEmpty())
                open.last().family = xml.readElementText();
            else if (xml.name() == QLatin1String("string") && property == "text" && !open.isEmpty())
                open.last().text = xml.readElementText();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("widget")) {
            const Widget widget = open.takeLast();
            if (icon_families.contains(widget.family))
                found << widget.family + ": " + widget.text;
        }
    }
    return found;
}

} // namespace

class tst_interface_fonts : public QObject
{
    Q_OBJECT

private slots:
    // A family that is not registered shows as another one in `glyphs`.
    void initTestCase() { startup::register_fonts(); }

    void glyphs_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("minimum");
        for (const char *form : {"player/usb/tz3_player_main.ui", "player/ble/tz3_player_main.ui",
                                 "colour/vantrel.ui", "app/forms/pulsetra/version_dlg.ui",
                                 "app/forms/pulsetra_ble/version_dlg.ui", "app/forms/skeel/version_dlg.ui"})
            QTest::addRow("%s", form) << icon_texts(QStringLiteral(SOURCE_DIR "/") + form) << 2;
        QTest::addRow("leave full screen") << QStringList{"Entypo+: " + QString(QChar(0xE100))} << 1;
    }

    // Each character maps to a glyph of that very font that draws something
    // (only a space may be blank).
    void glyphs()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, minimum);
        QVERIFY2(texts.size() >= minimum, qPrintable(texts.join(", ")));
        for (const QString &entry : texts) {
            const QString family = entry.section(": ", 0, 0), text = entry.section(": ", 1);
            const QRawFont font = QRawFont::fromFont(QFont(family, 48));
            QCOMPARE(font.familyName(), family);
            for (const uint ucs4 : text.toUcs4()) {
                const QString at = QString("%1 U+%2").arg(family).arg(ucs4, 4, 16, QChar('0'));
                QVERIFY2(font.supportsCharacter(ucs4), qPrintable(at));
                const quint32 glyph = font.glyphIndexesForString(QString::fromUcs4(&ucs4, 1)).value(0);
                QVERIFY2(ucs4 == ' ' || !font.pathForGlyph(glyph).isEmpty(), qPrintable(at));
            }
        }
    }
};

QTEST_MAIN(tst_interface_fonts)
#include "tst_interface_fonts.moc"
