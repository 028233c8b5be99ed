// The window icon of one program (chosen at build time) is its own drawing
// at every size the desktop asks for.
#include "window_icon.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QtTest>

class tst_window_icon : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sizes_data();
    void sizes();
};

void tst_window_icon::initTestCase()
{
    QVERIFY(QGuiApplication::windowIcon().isNull());
    startup::set_window_icon();
    QCOMPARE(QGuiApplication::windowIcon().availableSizes().size(), 4);
}

void tst_window_icon::sizes_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 32, 48, 256})
        QTest::newRow(qPrintable(QString::number(size))) << size;
}

void tst_window_icon::sizes()
{
    QFETCH(int, size);
    const QIcon icon = QGuiApplication::windowIcon();
    QVERIFY(icon.availableSizes().contains(QSize(size, size)));

    const QImage drawn = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage file = QImage(QStringLiteral(ICONS_DIR "/" TESTED_PROGRAM "-%1.png").arg(size))
                            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QVERIFY(!file.isNull());
    QCOMPARE(drawn, file);
}

QTEST_MAIN(tst_window_icon)
#include "tst_window_icon.moc"
