// The about dialog of one program (chosen at build time): the texts it shows,
// the licence texts of the components it lists, and its size.
#include "startup.h"
#include "version_dlg.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QResource>
#include <QTextCodec>
#include <QtTest>

#ifdef VERSION_DLG_LISTS_LIBVLC
#include <vlc/vlc.h>
#endif

namespace {

const bool show_player = qstrcmp(TESTED_PROGRAM, "skeel") != 0;

} // namespace

class tst_version_dlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A single-byte locale codec: the licence texts must not depend on it.
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
        startup::register_fonts();
    }

    void texts()
    {
        const QMap<QString, QStringList> header{
            {"skeel", {QChar(0xE003), "Vantrel", "Bluetooth Skeel", "ver 1.0.0"}},
            {"pulsetra", {QChar(0xE002), "Vantrel", "Pulsetra", "ver 1.0.0"}},
            {"pulsetra_ble", {QChar(0xE004), "Vantrel", "Pulsetra", "[Bluetooth Edition]", "ver 1.0.0"}}};
        QStringList expected = header[TESTED_PROGRAM];
        expected << QString(QChar(0xA9)) + " Talvek"
                 << "This application is using following OSSs." << "Entypo+" << "HIDApi";
#ifdef VERSION_DLG_LISTS_LIBVLC
        // The libraries' versions as the program runs with them; libvlc
        // reports its number followed by a name.
        expected << "libvlc " + QRegularExpression("^\\d+(\\.\\d+)+").match(libvlc_get_version()).captured();
#endif
        expected << "Qt " + QString(qVersion());

        version_dlg dialog;
        QCOMPARE(dialog.windowTitle(), QString("Version Infomation"));
        QStringList shown;
        for (const QLabel *label : dialog.findChildren<QLabel *>())
            shown << label->text();
        QCOMPARE(shown, expected);
    }

    void licence_texts_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("resource");
        QTest::addColumn<QString>("beyond_latin1"); // shown only if decoded as UTF-8
        QTest::addRow("Entypo+") << "lic_e" << ":/lic/entypo.txt" << QString(QChar(0x2014));
        QTest::addRow("HIDApi") << "lic_h" << ":/lic/hidapi.txt" << QString();
        if (show_player)
            QTest::addRow("libvlc") << "lic_vlc" << ":/lic/vlc.txt" << QString();
        QTest::addRow("Qt") << "lic_q" << ":/lic/qt.txt" << QString(QChar(0x201C));
    }

    // Each box shows its whole licence text and cannot be edited.
    void licence_texts()
    {
        QFETCH(QString, box);
        QFETCH(QString, resource);
        QFETCH(QString, beyond_latin1);
        version_dlg dialog;
        auto *view = dialog.findChild<QPlainTextEdit *>(box);
        QVERIFY(view);
        const QResource bytes(resource);
        const QString text = QString::fromUtf8(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
        QVERIFY(!text.isEmpty());
        QVERIFY(text.contains(beyond_latin1));
        QCOMPARE(view->toPlainText(), text);
        QTest::keyClicks(view, "typed");
        QTest::keyClick(view, Qt::Key_Backspace);
        QCOMPARE(view->toPlainText(), text);
        QCOMPARE(dialog.findChildren<QPlainTextEdit *>().size(), show_player ? 4 : 3);
    }

    // The first resize (from showing the dialog) pins the size; dragging the
    // border later changes nothing.
    void size_fixed_after_first_resize()
    {
        version_dlg dialog;
        QVERIFY(dialog.minimumSize() != dialog.maximumSize());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QSize shown = dialog.size();
        for (const QSize &asked : {shown + QSize(120, 80), shown - QSize(100, 100)}) {
            dialog.resize(asked);
            QCoreApplication::processEvents();
            QCOMPARE(dialog.size(), shown);
        }
    }
};

QTEST_MAIN(tst_version_dlg)
#include "tst_version_dlg.moc"
