// The swatch, the embedded colour panel and the rotated label on their own.
#include "color_dialog_pan.h"
#include "color_pallet_item.h"
#include "modal_answer.h"
#include "vertical_label.h"

#include <QLineEdit>
#include <QPainter>
#include <QtTest>

namespace {

// Bounding box of everything painted in a colour other than the background.
QRect ink(const QImage &image)
{
    const QRgb background = image.pixel(0, 0);
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box;
}

class PaintCounter : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

} // namespace

class tst_colour_widgets : public QObject
{
    Q_OBJECT

private slots:
    void swatch_reports_left_presses_only()
    {
        ColorPalletItem item;
        QSignalSpy clicked(&item, QOverload<bool>::of(&ColorPalletItem::clicked));
        QTest::mousePress(&item, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toBool(), false);
        QTest::mouseRelease(&item, Qt::LeftButton);
        QTest::mouseClick(&item, Qt::MiddleButton);
        QCOMPARE(clicked.count(), 1);
        // The second press of a double click reaches the press handler too.
        QTest::mouseDClick(&item, Qt::LeftButton);
        QCOMPARE(clicked.count(), 2);
    }

    void swatch_right_click_edits_only_on_ok()
    {
        ColorPalletItem item;
        item.setColor(QColor("#336699"));
        QSignalSpy clicked(&item, QOverload<bool>::of(&ColorPalletItem::clicked));

        QColor offered;
        answer_colour_dialog([&](QColorDialog *dialog) {
            offered = dialog->currentColor();
            QVERIFY(!dialog->testOption(QColorDialog::ShowAlphaChannel));
            dialog->setCurrentColor(Qt::red);
            dialog->reject();
        });
        QTest::mousePress(&item, Qt::RightButton);
        QCOMPARE(offered, QColor("#336699"));
        QCOMPARE(item.color(), QColor("#336699"));

        answer_colour_dialog([](QColorDialog *dialog) {
            dialog->setCurrentColor(QColor("#0a0b0c"));
            dialog->accept();
        });
        QTest::mousePress(&item, Qt::RightButton);
        QCOMPARE(item.color(), QColor("#0a0b0c"));
        QCOMPARE(item.palette().color(QPalette::Window), QColor("#0a0b0c"));
        QCOMPARE(clicked.count(), 0);
    }

    void panel_reports_every_selection()
    {
        QColorDialogPan panel;
        QCOMPARE(panel.currentColor(), QColor(Qt::black));
        QSignalSpy changed(&panel, &QColorDialog::currentColorChanged);
        panel.selectColor(QColor("#12ab34"));
        panel.selectColor(QColor("#12ab34"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(1).at(0).value<QColor>(), QColor("#12ab34"));
        QCOMPARE(panel.currentColor(), QColor("#12ab34"));
    }

    void escape_never_closes_the_panel_data()
    {
        QTest::addColumn<bool>("from_inner_field");
        QTest::newRow("to the panel") << false;
        QTest::newRow("from an inner field") << true;
    }

    void escape_never_closes_the_panel()
    {
        QFETCH(bool, from_inner_field);
        QWidget window;
        auto *panel = new QColorDialogPan(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget *target = panel;
        if (from_inner_field)
            target = panel->findChild<QLineEdit *>();
        QVERIFY(target);
        QSignalSpy rejected(panel, &QDialog::rejected);
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(panel->isVisible());
        QCOMPARE(rejected.count(), 0);
    }

    void vertical_label_keeps_room_for_its_text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("text") << "Vantrel";
        QTest::newRow("empty") << "";
    }

    void vertical_label_keeps_room_for_its_text()
    {
        QFETCH(QString, text);
        QLabel label(text);
        install_vertical_label(&label);
        label.grab();
        const QFontMetrics metrics(label.font());
        QCOMPARE(label.minimumHeight(), metrics.horizontalAdvance(text));
        QCOMPARE(label.minimumWidth(), metrics.height());
        if (text.isEmpty())
            QVERIFY(ink(label.grab().toImage()).isNull());
    }

    void vertical_label_reads_upward_from_the_bottom()
    {
        QLabel label("WWWWWWWWWW");
        install_vertical_label(&label);
        label.resize(60, 400);
        const QRect box = ink(label.grab().toImage());
        const QFontMetrics metrics(label.font());
        QVERIFY(!box.isNull());
        QVERIFY2(box.height() > 3 * box.width(), "text is not turned");
        QVERIFY(box.bottom() > label.height() - 10);
        QVERIFY(qAbs(box.height() - metrics.horizontalAdvance(label.text())) <= 4);
        // Centred across the label's width.
        QVERIFY(qAbs(box.center().x() - label.width() / 2) <= metrics.height() / 4);
    }

    void vertical_label_leaves_other_widgets_alone()
    {
        PaintCounter widget;
        widget.resize(30, 30);
        install_vertical_label(&widget);
        widget.grab();
        QVERIFY(widget.paints > 0);
    }
};

QTEST_MAIN(tst_colour_widgets)
#include "tst_colour_widgets.moc"
