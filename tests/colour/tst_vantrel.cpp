// The colour tool's window among virtual Bluetooth yo-yos: what each pick,
// key and button sends, what closing sends, the count it shows, and its end.
#include "color_dialog_pan.h"
#include "color_pallet_item.h"
#include "modal_answer.h"
#include "rig_reports.h"
#include "startup.h"
#include "unbound_slots.h"
#include "vantrel.h"
#include "yoyo_list.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include <cerrno>
#include <memory>

namespace {

// Read from the system, so that asking does not run this thread's event loop.
bool thread_named(const QByteArray &name)
{
    const QDir tasks("/proc/self/task");
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + "/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            return true;
    }
    return false;
}

// Position and size as move() takes them, centred within a pixel.
bool centred(const QWidget &window)
{
    const QPointF off = QRectF(window.pos(), window.size()).center() - QRectF(window.screen()->geometry()).center();
    return qAbs(off.x()) <= 1 && qAbs(off.y()) <= 1;
}

} // namespace

struct vantrel_test_access {
    static yoyo::Broadcast &broadcast(vantrel &w) { return w.broadcast; }
};

class tst_vantrel : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<rig::VirtualYoyos> yoyos;
    std::unique_ptr<vantrel> window;

    // A missing child fails only the test that asks for it.
    template <typename T>
    T *child(const QString &name) const
    {
        if (T *found = window->findChild<T *>(name))
            return found;
        QTest::qFail(qPrintable("no " + name), __FILE__, __LINE__);
        return new T(window.get());
    }

    QString count() const { return child<QLabel>("lbl_con")->text(); }

    // The focus where an operator who has typed a colour leaves it.
    void open_window(int expected_count)
    {
        window = std::make_unique<vantrel>();
        QCOMPARE(unbound_slots::take(), QString());
        child<QLabel>("lbl_con")->setText("-");
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto *field = child<QColorDialogPan>("col_pan")->findChild<QSpinBox *>();
        QVERIFY(field);
        QTest::mouseClick(field, Qt::LeftButton);
        QVERIFY(field->hasFocus());
        QTRY_COMPARE_WITH_TIMEOUT(count(), QString::number(expected_count), 1500);
    }

    // As the keyboard delivers a key: to the widget with the focus.
    void press(Qt::Key key) { QTest::keyClick(window->windowHandle(), key); }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toLocal8Bit());
        unbound_slots::watch();
        startup::register_fonts();
    }

    void init() { yoyos = std::make_unique<rig::VirtualYoyos>(); }

    void cleanup()
    {
        window.reset();
        yoyos.reset();
        take_yoyo_devices(nullptr);
        // Each test starts from the default favourites.
        QDir(home.path()).removeRecursively();
        QDir().mkpath(home.path());
    }

    // Each row's actions, then the window closed; what both yo-yos saw.
    void picks_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("seen");

        const QString f1 = "colour 255 12 77", f2 = "colour 245 183 0", f3 = "colour 0 158 226",
                      f4 = "colour 85 221 224", f5 = "colour 137 252 0", black = "colour 0 0 0";
        QTest::addRow("F1 to F5") << QStringList{"F1", "F2", "F3", "F4", "F5"}
                                  << QStringList{f1, f2, f3, f4, f5, black};
        QTest::addRow("clicks on swatches") << QStringList{"click col_f4", "click col_f1", "click col_f1"}
                                            << QStringList{f4, f1, f1, black};
        QTest::addRow("Reset and F12") << QStringList{"F2", "btn_reset_col", "F12"}
                                       << QStringList{f2, black, black, black};
        QTest::addRow("nothing else sends")
            << QStringList{"F6", "F7", "F8", "F9", "F10", "F11", "A", "Escape", "middle col_f2",
                           "btn_send_col"}
            << QStringList{black};
        QTest::addRow("without Auto only Send sends, and closing sends nothing")
            << QStringList{"chk_send_auto", "F1", "click col_f2", "F12", "F3", "btn_send_col"}
            << QStringList{f3};
        QTest::addRow("Auto again") << QStringList{"chk_send_auto", "F1", "chk_send_auto", "F2"}
                                    << QStringList{f2, black};
        QTest::addRow("a swatch edited only on OK")
            << QStringList{"right col_f3 cancel", "click col_f3", "right col_f3 ok", "click col_f3"}
            << QStringList{f3, "colour 16 32 48", black};
    }

    void picks()
    {
        QFETCH(QStringList, actions);
        QFETCH(QStringList, seen);
        for (int i = 0; i < 2; ++i)
            yoyos->add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
        open_window(2);
        QCOMPARE(child<QPushButton>("btn_send_col")->isEnabled(), false);

        for (const QString &action : actions) {
            const QStringList words = action.split(' ');
            if (words[0] == "click" || words[0] == "middle") {
                QTest::mousePress(child<ColorPalletItem>(words[1]),
                                  words[0] == "click" ? Qt::LeftButton : Qt::MiddleButton);
            } else if (words[0] == "right") {
                const bool ok = words[2] == "ok";
                answer_modal<QColorDialog>([ok](QColorDialog *dialog) {
                    dialog->setCurrentColor(QColor(16, 32, 48));
                    ok ? dialog->accept() : dialog->reject();
                });
                QTest::mousePress(child<ColorPalletItem>(words[1]), Qt::RightButton);
            } else if (words[0] == "Escape") {
                // Where the operator types in the panel: Escape must not close it.
                press(Qt::Key_Escape);
                QVERIFY(!child<QColorDialogPan>("col_pan")->isHidden());
            } else if (action == "chk_send_auto") {
                child<QCheckBox>(action)->click();
                QCOMPARE(child<QPushButton>("btn_send_col")->isEnabled(), !child<QCheckBox>(action)->isChecked());
            } else if (words[0].startsWith("btn_")) {
                child<QPushButton>(action)->click();
            } else {
                press(Qt::Key(QKeySequence(action)[0]));
            }
            // Each colour out before the next, which would otherwise replace it.
            QVERIFY(vantrel_test_access::broadcast(*window).wait_for_tasks(5000));
        }
        // Black is out by the time the window has gone.
        window.reset();
        for (int yoyo : {0, 1})
            QCOMPARE(described(*yoyos, yoyo), seen);
    }

    // The panel shows the colour that each yo-yo was written or why not;
    // the count warns until a colour reaches them all.
    void outcomes_and_warning()
    {
        for (const char *serial : {"10", "2", "3"})
            yoyos->add({rig::Transport::bluetooth, serial, -1, 1});
        yoyos->fail_writes(1, EIO);
        yoyos->refuse_open(2, true);
        open_window(3);
        // Ctrl+Y, also with the focus in one of the colour panel's fields.
        QTest::keyClick(window->windowHandle(), Qt::Key_Y, Qt::ControlModifier);
        auto *table = child<QTableWidget>("yoyo_table");
        QVERIFY(table->isVisible());
        const auto rows = [table] {
            QStringList shown;
            for (int row = 0; row < table->rowCount(); ++row)
                shown << table->item(row, 0)->text() + " " + table->item(row, 2)->text() + " "
                             + table->item(row, 3)->text();
            return shown;
        };
        press(Qt::Key_F1);
        QTRY_COMPARE(child<QLabel>("lbl_con")->toolTip(),
                     QString("2 of 3 yo-yos did not take the colour: 2 (write failed), 3 (could not be opened)"));
        QCOMPARE(window->took_last_report(), 1);
        QCOMPARE(rows(), (QStringList{"2 colour #FF0C4D write failed", "3 colour #FF0C4D could not be opened",
                                      "10 colour #FF0C4D written"}));

        yoyos->fail_writes(1, 0);
        yoyos->refuse_open(2, false);
        press(Qt::Key_F2);
        QTRY_COMPARE(child<QLabel>("lbl_con")->toolTip(), QString("3 of 3 yo-yos took the colour"));
        QCOMPARE(rows(), (QStringList{"2 colour #F5B700 written", "3 colour #F5B700 written",
                                      "10 colour #F5B700 written"}));
    }

    // The show player's serial rule is not the colour tool's. A yo-yo listed
    // twice may have its second report replace the first before it has gone.
    void counts_and_reaches_every_bluetooth_yoyo()
    {
        for (const char *serial : {"0abc", "", "7"})
            yoyos->add({rig::Transport::bluetooth, serial, -1, 1});
        const int usb = yoyos->add({rig::Transport::usb, "8", 1, 1});
        const int two_records = yoyos->add({rig::Transport::bluetooth, "9", -1, 2});
        open_window(5);
        press(Qt::Key_F1);
        for (int yoyo : {0, 1, 2})
            QVERIFY(yoyos->wait_for_reports(yoyo, 1, 5000));
        QVERIFY(yoyos->wait_for_reports(two_records, 1, 5000));
        QVERIFY(yoyos->received(usb).empty());

        yoyos->unplug(1);
        QTRY_COMPARE_WITH_TIMEOUT(count(), QString("4"), 1500);
        child<QLabel>("lbl_con")->setText("-");
        QTRY_COMPARE_WITH_TIMEOUT(count(), QString("4"), 1500);
        yoyos->plug(1);
        QTRY_COMPARE_WITH_TIMEOUT(count(), QString("5"), 1500);
        press(Qt::Key_F2);
        QVERIFY(yoyos->wait_for_reports(1, 2, 5000));
        QCOMPARE(described(*yoyos, 1), (QStringList{"colour 255 12 77", "colour 245 183 0"}));
    }

    // The count's caption reads upward (its dots lie flat); entries draw
    // light text on the dark base, not the form's black on black.
    void shown()
    {
        open_window(0);
        QCOMPARE(window->minimumSize(), window->size());
        QCOMPARE(window->maximumSize(), window->size());
        QTRY_VERIFY(centred(*window));
        window->hide();
        window->move(3, 4);
        window->show();
        QTRY_VERIFY(centred(*window));

        const QImage drawn = child<QLabel>("lbl_con_t")->grab().toImage();
        QRect ink;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                if (qAlpha(drawn.pixel(x, y)) && drawn.pixel(x, y) != drawn.pixel(0, 0))
                    ink |= QRect(x, y, 1, 1);
        QVERIFY2(ink.width() > 2 * ink.height(), qPrintable(QString("%1x%2").arg(ink.width()).arg(ink.height())));

        QList<QWidget *> entries{child<QCheckBox>("chk_send_auto")};
        for (QLineEdit *field : child<QColorDialogPan>("col_pan")->findChildren<QLineEdit *>())
            entries << field;
        QVERIFY(entries.size() >= 8); // six numbers, HTML, Auto
        for (QWidget *entry : entries) {
            const QPalette colours = entry->palette();
            QVERIFY2(qGray(colours.color(QPalette::Text).rgb()) - qGray(colours.color(QPalette::Base).rgb()) > 128,
                     entry->metaObject()->className());
        }
    }

    // As after the event loop has returned.
    void closing_while_a_count_is_pending_ends_the_poller()
    {
        open_window(0);
        QVERIFY(thread_named("yoyo-poll"));
        // Longer than a poll wait, so that the next hand-over is pending.
        QThread::msleep(2 * 250);
        QElapsedTimer clock;
        clock.start();
        window.reset();
        QVERIFY(clock.elapsed() < 1000);
        QTRY_VERIFY2(!thread_named("yoyo-poll"), "the poll thread outlived its window");
        // Nothing left over may reach for the window.
        QTest::qWait(2 * 250);
    }
};

QTEST_MAIN(tst_vantrel)
#include "tst_vantrel.moc"
