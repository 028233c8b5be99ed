// The show player's window as its form and constructor build it, and the
// delay rules, offscreen and without devices. Built once per edition.
#include "player_test_support.h"

#include "version_dlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QMetaMethod>
#include <QPointer>
#include <QSpacerItem>
#include <QStatusBar>
#include <QToolBar>
#include <QTimer>
#include <QtTest>

#include <cstddef>
#include <memory>

using namespace player_test;

namespace {

using form = Ui_tz3_player_main;

// The members of the generated form in declaration (creation) order.
struct member {
    std::size_t offset;
    const char *name;
    bool object; // false: a spacer, which has no object name
};

#define OBJECT(name) member{offsetof(form, name), #name, true}
#define SPACER(name) member{offsetof(form, name), #name, false}

const std::vector<member> &members()
{
    static const std::vector<member> list{
        OBJECT(centralWidget),
        OBJECT(player),
        OBJECT(verticalLayout_2),
        OBJECT(gridLayout),
        OBJECT(main_content),
        OBJECT(formLayout),
        OBJECT(hbox),
        OBJECT(btn_full_screen),
#ifdef VANTREL_BLUETOOTH_EDITION
        OBJECT(label_2),
#else
        SPACER(horizontalSpacer),
#endif
        OBJECT(btn_version),
        OBJECT(horizontalLayout_2),
#ifndef VANTREL_BLUETOOTH_EDITION
        OBJECT(gridLayout_2),
#endif
        OBJECT(btn_open),
        OBJECT(label),
        OBJECT(lbl_file_name),
        SPACER(horizontalSpacer_2),
        OBJECT(verticalLayout),
        SPACER(verticalSpacer),
        OBJECT(horizontalLayout),
        SPACER(horizontalSpacer_3),
        OBJECT(btn_play),
        SPACER(horizontalSpacer_4),
        SPACER(verticalSpacer_2),
        OBJECT(horizontalLayout_3),
        OBJECT(label_3),
        OBJECT(lbl_yoyo_cnt),
        SPACER(horizontalSpacer_5),
        OBJECT(label_5),
        OBJECT(txt_delay),
        OBJECT(label_4),
    };
    return list;
}

QString glyphs(std::initializer_list<char16_t> code_points)
{
    QString text;
    for (char16_t c : code_points)
        text += QChar(c);
    return text;
}

void check_font(QWidget *widget, const QString &family, int point_size)
{
    const QFont font = widget->font();
    QCOMPARE(font.family(), family);
    QCOMPARE(font.pointSize(), point_size);
    QCOMPARE(font.weight(), int(QFont::Normal));
    QCOMPARE(font.styleStrategy(), QFont::PreferAntialias);
}

void check_spacer(QSpacerItem *spacer, bool horizontal)
{
    QVERIFY(spacer);
    if (horizontal) {
        QCOMPARE(spacer->sizeHint(), QSize(16777215, 20));
        QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    } else {
        QCOMPARE(spacer->sizeHint(), QSize(20, 16777215));
        QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
        QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    }
}

QLayoutItem *item(QLayout *layout, int index)
{
    return layout->itemAt(index);
}

// Replaces the delay field's text as an operator does: click, select all,
// type, then leave with Return.
void type_delay(tz3_player_main &w, const QString &text)
{
    QLineEdit *field = inside::ui(w)->txt_delay;
    QTest::mouseClick(field, Qt::LeftButton);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

} // namespace

class tst_player_form : public QObject
{
    Q_OBJECT

    std::unique_ptr<tz3_player_main> window;
    form *ui = nullptr;

private slots:
    void initTestCase()
    {
        slot_binding_guard::install();
    }

    void init()
    {
        window = std::make_unique<tz3_player_main>();
        ui = inside::ui(*window);
    }

    void cleanup()
    {
        if (window) {
            // The delay is a process-wide value: leave it as the program starts.
            inside::set_delay(*window, "5");
        }
        window.reset();
        ui = nullptr;
        PLAYER_TEST_NO_UNBOUND_SLOTS();
    }

    // The guard itself: a slot without its object is seen.
    void unbound_slot_warning_is_caught()
    {
        // A window one of whose objects is gone, bound again by name.
        tz3_player_main lonely;
        delete inside::ui(lonely)->btn_version;
        inside::ui(lonely)->btn_version = nullptr;
        QMetaObject::connectSlotsByName(&lonely);
        QVERIFY(slot_binding_guard::seen().contains("on_btn_version_clicked"));
        slot_binding_guard::forget();
    }

    void form_has_one_member_per_widget_layout_and_spacer()
    {
        const std::size_t expected = bluetooth ? 29 : 30;
        QCOMPARE(members().size(), expected);
        QCOMPARE(sizeof(form), expected * sizeof(void *));
        for (std::size_t i = 0; i < members().size(); ++i) {
            const member &m = members()[i];
            QVERIFY2(m.offset == i * sizeof(void *), m.name);
            void *pointer = *reinterpret_cast<void **>(reinterpret_cast<char *>(ui) + m.offset);
            QVERIFY2(pointer, m.name);
            if (m.object)
                QCOMPARE(static_cast<QObject *>(pointer)->objectName(), QString(m.name));
        }
        QCOMPARE(window->objectName(), QString("tz3_player_main"));
    }

    void widgets_are_created_in_form_order()
    {
        QStringList names;
        for (QObject *child : ui->main_content->children())
            if (child->isWidgetType())
                names << child->objectName();
        QStringList expected{"btn_full_screen"};
        if (bluetooth)
            expected << "label_2";
        expected << "btn_version" << "btn_open" << "label" << "lbl_file_name" << "btn_play"
                 << "label_3" << "lbl_yoyo_cnt" << "label_5" << "txt_delay" << "label_4";
        QCOMPARE(names, expected);
    }

    void tree_and_layouts_are_as_the_form_says()
    {
        QCOMPARE(window->centralWidget(), ui->centralWidget);
        QVERIFY(!window->menuWidget());
        QVERIFY(!window->findChild<QStatusBar *>());
        QVERIFY(!window->findChild<QToolBar *>());

        QCOMPARE(ui->player->parentWidget(), ui->centralWidget);
        QCOMPARE(ui->gridLayout->indexOf(ui->player), -1);
        QCOMPARE(ui->player->layout(), static_cast<QLayout *>(ui->verticalLayout_2));
        QCOMPARE(ui->verticalLayout_2->contentsMargins(), QMargins(0, 0, 0, 0));

        QCOMPARE(ui->centralWidget->layout(), static_cast<QLayout *>(ui->gridLayout));
        QCOMPARE(ui->gridLayout->contentsMargins(), QMargins(0, 0, 0, 0));
        QCOMPARE(ui->gridLayout->spacing(), 6);
        int row, column, row_span, column_span;
        ui->gridLayout->getItemPosition(ui->gridLayout->indexOf(ui->main_content), &row, &column,
                                        &row_span, &column_span);
        QCOMPARE(QList<int>({row, column, row_span, column_span}), QList<int>({0, 0, 1, 1}));

        QCOMPARE(ui->main_content->layout(), static_cast<QLayout *>(ui->formLayout));
        QCOMPARE(ui->formLayout->contentsMargins(), QMargins(11, 11, 11, 11));
        QCOMPARE(ui->formLayout->rowCount(), 4);
        QLayout *rows[] = {ui->hbox, ui->horizontalLayout_2, ui->verticalLayout, ui->horizontalLayout_3};
        for (int r = 0; r < 4; ++r) {
            QLayoutItem *spanning = ui->formLayout->itemAt(r, QFormLayout::SpanningRole);
            QVERIFY(spanning);
            QCOMPARE(spanning->layout(), rows[r]);
            QCOMPARE(rows[r]->contentsMargins(), QMargins(0, 0, 0, 0));
            QCOMPARE(rows[r]->spacing(), 6);
        }
        QCOMPARE(ui->hbox->sizeConstraint(), QLayout::SetMaximumSize);

        // Row 0.
        QCOMPARE(ui->hbox->count(), 3);
        QCOMPARE(item(ui->hbox, 0)->widget(), ui->btn_full_screen);
#ifdef VANTREL_BLUETOOTH_EDITION
        QCOMPARE(item(ui->hbox, 1)->widget(), static_cast<QWidget *>(ui->label_2));
#else
        QCOMPARE(item(ui->hbox, 1)->spacerItem(), ui->horizontalSpacer);
        check_spacer(ui->horizontalSpacer, true);
#endif
        QCOMPARE(item(ui->hbox, 2)->widget(), ui->btn_version);

        // Row 1.
        int at = 0;
#ifndef VANTREL_BLUETOOTH_EDITION
        QCOMPARE(ui->horizontalLayout_2->count(), 5);
        QCOMPARE(item(ui->horizontalLayout_2, at++)->layout(), static_cast<QLayout *>(ui->gridLayout_2));
        QCOMPARE(ui->gridLayout_2->count(), 0);
#else
        QCOMPARE(ui->horizontalLayout_2->count(), 4);
        QVERIFY(!window->findChild<QGridLayout *>("gridLayout_2"));
#endif
        QCOMPARE(item(ui->horizontalLayout_2, at++)->widget(), ui->btn_open);
        QCOMPARE(item(ui->horizontalLayout_2, at++)->widget(), ui->label);
        QCOMPARE(item(ui->horizontalLayout_2, at++)->widget(), ui->lbl_file_name);
        QCOMPARE(item(ui->horizontalLayout_2, at++)->spacerItem(), ui->horizontalSpacer_2);
        check_spacer(ui->horizontalSpacer_2, true);

        // Row 2: the play button between expanding spacers.
        QCOMPARE(ui->verticalLayout->count(), 3);
        QCOMPARE(item(ui->verticalLayout, 0)->spacerItem(), ui->verticalSpacer);
        QCOMPARE(item(ui->verticalLayout, 1)->layout(), static_cast<QLayout *>(ui->horizontalLayout));
        QCOMPARE(item(ui->verticalLayout, 2)->spacerItem(), ui->verticalSpacer_2);
        check_spacer(ui->verticalSpacer, false);
        check_spacer(ui->verticalSpacer_2, false);
        QCOMPARE(ui->horizontalLayout->count(), 3);
        QCOMPARE(item(ui->horizontalLayout, 0)->spacerItem(), ui->horizontalSpacer_3);
        QCOMPARE(item(ui->horizontalLayout, 1)->widget(), ui->btn_play);
        QCOMPARE(item(ui->horizontalLayout, 2)->spacerItem(), ui->horizontalSpacer_4);
        check_spacer(ui->horizontalSpacer_3, true);
        check_spacer(ui->horizontalSpacer_4, true);

        // Row 3.
        QCOMPARE(ui->horizontalLayout_3->count(), 6);
        QCOMPARE(item(ui->horizontalLayout_3, 0)->widget(), ui->label_3);
        QCOMPARE(item(ui->horizontalLayout_3, 1)->widget(), ui->lbl_yoyo_cnt);
        QCOMPARE(item(ui->horizontalLayout_3, 2)->spacerItem(), ui->horizontalSpacer_5);
        QCOMPARE(item(ui->horizontalLayout_3, 3)->widget(), ui->label_5);
        QCOMPARE(item(ui->horizontalLayout_3, 4)->widget(), static_cast<QWidget *>(ui->txt_delay));
        QCOMPARE(item(ui->horizontalLayout_3, 5)->widget(), ui->label_4);
        check_spacer(ui->horizontalSpacer_5, true);

        // Every box item with stretch 0 and no alignment.
        for (QBoxLayout *box : {static_cast<QBoxLayout *>(ui->hbox), static_cast<QBoxLayout *>(ui->horizontalLayout_2),
                                static_cast<QBoxLayout *>(ui->verticalLayout), static_cast<QBoxLayout *>(ui->horizontalLayout),
                                static_cast<QBoxLayout *>(ui->horizontalLayout_3)}) {
            for (int i = 0; i < box->count(); ++i) {
                QCOMPARE(box->stretch(i), 0);
                QCOMPARE(int(box->itemAt(i)->alignment()), 0);
            }
        }
    }

    void sizes_fonts_cursors_and_directions()
    {
        QCOMPARE(window->size(), QSize(550, 481));
        QCOMPARE(window->minimumSize(), QSize(550, 400));

        for (QWidget *small : {ui->btn_full_screen, ui->btn_version, ui->btn_open}) {
            QCOMPARE(small->minimumSize(), QSize(40, 40));
            QCOMPARE(small->maximumSize(), QSize(40, 40));
            check_font(small, "Entypo+", 18);
            QCOMPARE(small->cursor().shape(), Qt::PointingHandCursor);
        }
        QCOMPARE(ui->btn_version->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(ui->btn_version->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(ui->btn_version->sizePolicy().horizontalStretch(), 0);
        QCOMPARE(ui->btn_version->sizePolicy().verticalStretch(), 0);

        QCOMPARE(ui->btn_play->minimumSize(), QSize(0, 0));
        QCOMPARE(ui->btn_play->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        check_font(ui->btn_play, "Entypo+", 50);
        QCOMPARE(ui->btn_play->cursor().shape(), Qt::PointingHandCursor);

        for (QWidget *icon : {static_cast<QWidget *>(ui->label), static_cast<QWidget *>(ui->label_3),
                              static_cast<QWidget *>(ui->label_5)})
            check_font(icon, "Entypo+", 18);

        const QFont application = QApplication::font();
        QCOMPARE(ui->main_content->font().family(), application.family());
        QCOMPARE(ui->main_content->font().pointSize(), application.pointSize());
        QCOMPARE(ui->main_content->font().styleStrategy(), QFont::PreferAntialias);
        for (QWidget *text : {static_cast<QWidget *>(ui->lbl_file_name), static_cast<QWidget *>(ui->lbl_yoyo_cnt),
                              static_cast<QWidget *>(ui->txt_delay), static_cast<QWidget *>(ui->label_4)})
            check_font(text, application.family(), 14);

        for (QWidget *rtl : {static_cast<QWidget *>(ui->btn_version), static_cast<QWidget *>(ui->label_5),
                             static_cast<QWidget *>(ui->txt_delay), static_cast<QWidget *>(ui->label_4)})
            QCOMPARE(rtl->layoutDirection(), Qt::RightToLeft);
        QCOMPARE(ui->btn_full_screen->layoutDirection(), Qt::LeftToRight);
        QCOMPARE(ui->label_3->layoutDirection(), Qt::LeftToRight);

#ifdef VANTREL_BLUETOOTH_EDITION
        const QFont edition = ui->label_2->font();
        QCOMPARE(edition.family(), QString::fromUtf8("メイリオ"));
        QCOMPARE(edition.pointSize(), 16);
        QCOMPARE(edition.weight(), 75);
        QVERIFY(edition.bold());
#endif
    }

    void focus_only_when_clicked()
    {
        for (QWidget *clicked : {static_cast<QWidget *>(ui->btn_full_screen), static_cast<QWidget *>(ui->btn_version),
                                 static_cast<QWidget *>(ui->btn_open), static_cast<QWidget *>(ui->btn_play),
                                 static_cast<QWidget *>(ui->main_content), static_cast<QWidget *>(ui->txt_delay)})
            QCOMPARE(clicked->focusPolicy(), Qt::ClickFocus);
        QCOMPARE(ui->lbl_yoyo_cnt->focusPolicy(), Qt::NoFocus);
        // The tab order names btn_version before btn_full_screen.
        QCOMPARE(ui->btn_version->nextInFocusChain(), static_cast<QWidget *>(ui->btn_full_screen));
    }

    void delay_field()
    {
        QCOMPARE(ui->txt_delay->text(), QString("5"));
        QCOMPARE(ui->txt_delay->maxLength(), 4);
        QVERIFY(!ui->txt_delay->hasFrame());
        QCOMPARE(ui->txt_delay->alignment(), Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(ui->txt_delay->inputMask(), QString());
        QCOMPARE(ui->txt_delay->minimumSize(), QSize(60, 0));
        QCOMPARE(ui->txt_delay->maximumSize(), QSize(60, QWIDGETSIZE_MAX));

        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        for (const QSize size : {QSize(550, 400), QSize(1200, 900), QSize(700, 481)}) {
            window->resize(size);
            QTRY_COMPARE(window->size(), size);
            QCoreApplication::processEvents();
            QCOMPARE(ui->txt_delay->width(), 60);
        }
        window->resize(100, 100);
        QTRY_COMPARE(window->size(), QSize(550, 400));
    }

    void glyphs_and_texts()
    {
        QCOMPARE(window->windowTitle(), bluetooth ? QString("Vantrel Pulsetra (BLE)") : QString("Vantrel Pulsetra"));
        QCOMPARE(ui->btn_full_screen->text(), glyphs({0xE101}));
        QCOMPARE(ui->btn_version->text(), glyphs({0xE0B1}));
        QCOMPARE(ui->btn_open->text(), glyphs({0xE09B}));
        QCOMPARE(ui->label->text(), glyphs({0xE07B}));
        QCOMPARE(ui->btn_play->text(), glyphs({0xE05E}));
        QCOMPARE(ui->label_3->text(), glyphs({0xE120, 0xE07B}));
        QCOMPARE(ui->label_5->text(), glyphs({0xE11E, 0xE07B}));

        QCOMPARE(ui->btn_full_screen->toolTip(), QString("Toggle Full Screen"));
        QCOMPARE(ui->btn_version->toolTip(), QString("Software Version"));
        QCOMPARE(ui->btn_open->toolTip(), QString("Open"));
        QCOMPARE(ui->btn_play->toolTip(), QString("Play"));
        QCOMPARE(ui->label_3->toolTip(), QString("Connected Yo-Yos"));
        QCOMPARE(ui->txt_delay->toolTip(), QString("Delay Time"));
        QCOMPARE(ui->lbl_file_name->text(), QString());
        QCOMPARE(ui->lbl_yoyo_cnt->text(), QString("0"));
        QCOMPARE(ui->label_4->text(), QString("sec"));
#ifdef VANTREL_BLUETOOTH_EDITION
        QCOMPARE(ui->label_2->text(), QString("Bluetooth Edition"));
        QCOMPARE(ui->label_2->alignment(), Qt::AlignCenter);
#endif
    }

    void six_private_slots_in_meta_object_order()
    {
        const QMetaObject &meta = tz3_player_main::staticMetaObject;
        QCOMPARE(QString(meta.className()), QString("tz3_player_main"));
        QCOMPARE(meta.superClass(), &QMainWindow::staticMetaObject);
        const QStringList expected{"on_txt_delay_editingFinished()", "on_btn_full_screen_clicked()",
                                   "on_btn_version_clicked()",       "on_btn_open_clicked()",
                                   "on_btn_play_clicked()",          "on_txt_delay_returnPressed()"};
        QCOMPARE(meta.methodCount() - meta.methodOffset(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const QMetaMethod method = meta.method(meta.methodOffset() + i);
            QCOMPARE(QString(method.methodSignature()), expected[i]);
            QCOMPARE(method.methodType(), QMetaMethod::Slot);
            QCOMPARE(method.access(), QMetaMethod::Private);
            QCOMPARE(method.returnType(), int(QMetaType::Void));
        }
        QCOMPARE(meta.propertyCount(), meta.propertyOffset());
        QCOMPARE(meta.enumeratorCount(), meta.enumeratorOffset());
    }

    void construction_styles_and_stacking()
    {
        QCOMPARE(ui->centralWidget->styleSheet(), QString("background-color:rgba(0,0,0,255)"));
        QCOMPARE(ui->main_content->styleSheet(),
                 QString("QWidget{color:rgba(255,255,255,150);background-color:rgba(0,0,0,0);}"));
        QVERIFY(ui->main_content->autoFillBackground());
        QVERIFY(ui->player->isHidden());
        QCOMPARE(ui->verticalLayout_2->count(), 1);
        player_widget *surface = inside::player(*window);
        QVERIFY(surface);
        QCOMPARE(ui->verticalLayout_2->itemAt(0)->widget(), static_cast<QWidget *>(surface));
        QCOMPARE(surface->parentWidget(), ui->player);
        QCOMPARE(surface->styleSheet(), QString(""));
        // main_content is stacked under the container.
        const QObjectList children = ui->centralWidget->children();
        QVERIFY(children.indexOf(ui->main_content) < children.indexOf(ui->player));

        QVERIFY(!inside::playing(*window));
        QVERIFY(!inside::yoyo_devices(*window));
        QVERIFY(inside::poll_timer(*window).isActive());
        QCOMPARE(inside::poll_timer(*window).interval(), 1000);
        QVERIFY(!inside::poll_timer(*window).isSingleShot());
        QVERIFY(!inside::poll_timer(*window).parent());
    }

    void container_covers_the_window_on_show_and_resize()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(ui->player->geometry(), QRect(QPoint(0, 0), window->size()));

        window->resize(900, 700);
        QTRY_COMPARE(window->size(), QSize(900, 700));
        QCOMPARE(ui->player->geometry(), QRect(0, 0, 900, 700));

        // Shown again after something moved it.
        window->hide();
        ui->player->setGeometry(40, 90, 81, 35);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(ui->player->geometry(), QRect(QPoint(0, 0), window->size()));
    }

    void delay_rules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");

        QTest::newRow("0") << "0" << "5";
        QTest::newRow("-3") << "-3" << "5";
        QTest::newRow("4") << "4" << "5";
        QTest::newRow("5 stays") << "5" << "5";
        QTest::newRow("6") << "6" << "6";
        QTest::newRow("1200 stays") << "1200" << "1200";
        QTest::newRow("1201") << "1201" << "1200";
        QTest::newRow("9999") << "9999" << "1200";
        QTest::newRow("letters: last accepted") << "abc" << "17";
        QTest::newRow("empty: last accepted") << "" << "17";
        QTest::newRow("leading zeros") << "0030" << "30";
        QTest::newRow("longer than 4 is cut") << "123456" << "1200";
    }

    // Through the field: the accepted value is shown and kept for the next
    // time; leaving with Return validates it and takes the focus out.
    void delay_rules()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));

        type_delay(*window, "17");
        QCOMPARE(ui->txt_delay->text(), QString("17"));

        type_delay(*window, typed);
        QCOMPARE(ui->txt_delay->text(), shown);
        QVERIFY(!ui->txt_delay->hasFocus());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(window.get()));

        // "prev" (what the return to idle passes) shows the accepted value.
        inside::set_delay(*window, "prev");
        QCOMPARE(ui->txt_delay->text(), shown);
    }

    void leaving_the_field_by_a_click_validates_it()
    {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QLineEdit *field = ui->txt_delay;
        QTest::mouseClick(field, Qt::LeftButton);
        QVERIFY(field->hasFocus());
        field->selectAll();
        QTest::keyClicks(field, "3");
        QCOMPARE(field->text(), QString("3"));
        QTest::mouseClick(ui->main_content, Qt::LeftButton);
        QVERIFY(!field->hasFocus());
        QCOMPARE(field->text(), QString("5"));
    }

    void the_delay_is_kept_for_the_next_window()
    {
        inside::set_delay(*window, "42");
        tz3_player_main second;
        QCOMPARE(inside::ui(second)->txt_delay->text(), QString("5")); // the form's text
        inside::set_delay(second, "prev");
        QCOMPARE(inside::ui(second)->txt_delay->text(), QString("42"));
    }

    void play_without_media_does_nothing()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(!inside::player(*window)->has_media());
        QTest::mouseClick(ui->btn_play, Qt::LeftButton);
        QVERIFY(!inside::playing(*window));
        QVERIFY(!inside::countdown_timer(*window));
        QCOMPARE(ui->btn_play->text(), glyphs({0xE05E}));
        QVERIFY(ui->player->isHidden());
        QVERIFY(ui->main_content->isEnabled());
        QCOMPARE(ui->txt_delay->text(), QString("5"));
        QTest::qWait(1200);
        QCOMPARE(ui->txt_delay->text(), QString("5"));
    }

    void cancelled_open_dialog_changes_nothing()
    {
        ui->lbl_file_name->setText("before.mp4");
        QString title;
        bool single_existing_file = false;
        QTimer::singleShot(100, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            title = dialog->windowTitle();
            single_existing_file = dialog->fileMode() == QFileDialog::ExistingFile;
            QCOMPARE(dialog->parentWidget(), static_cast<QWidget *>(window.get()));
            dialog->reject();
        });
        QTest::mouseClick(ui->btn_open, Qt::LeftButton);
        QCOMPARE(title, QString("Open a Multimedia File"));
        QVERIFY(single_existing_file);
        QCOMPARE(ui->lbl_file_name->text(), QString("before.mp4"));
    }

    void about_button_runs_the_dialog_modally()
    {
        QPointer<version_dlg> seen;
        bool modal = false;
        QTimer::singleShot(100, [&] {
            seen = qobject_cast<version_dlg *>(QApplication::activeModalWidget());
            if (seen) {
                modal = seen->isModal();
                QCOMPARE(seen->parentWidget(), static_cast<QWidget *>(window.get()));
                seen->reject();
            }
        });
        QTest::mouseClick(ui->btn_version, Qt::LeftButton);
        QVERIFY(modal);
        QVERIFY(!seen); // a local of the slot: gone once it closed
    }
};

QTEST_MAIN(tst_player_form)
#include "tst_player_form.moc"
