// The window icon of one program (chosen at build time) is its own drawing
// at every size the desktop asks for.
#include "window_icon.h"

#include <QGuiApplication>
#include <QIcon>
#include <QtTest>

class tst_window_icon : public QObject
{
    Q_OBJECT

private slots:
    void sizes_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 32, 48, 256})
            QTest::addRow("%d", size) << size;
    }

    void sizes()
    {
        QFETCH(int, size);
        startup::set_window_icon();
        const QIcon icon = QGuiApplication::windowIcon();
        QCOMPARE(icon.availableSizes().size(), 4);
        const auto format = QImage::Format_ARGB32_Premultiplied;
        const QImage file = QImage(QStringLiteral(ICONS_DIR "/" TESTED_PROGRAM "-%1.png").arg(size));
        QVERIFY(!file.isNull());
        QCOMPARE(icon.pixmap(size, size).toImage().convertToFormat(format), file.convertToFormat(format));
    }
};

QTEST_MAIN(tst_window_icon)
#include "tst_window_icon.moc"
