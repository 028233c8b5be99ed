// Every kind of text an operator can leave in the delay field, typed as an
// operator types it and left by pressing Play: the field settles on a delay
// of 5 to 1200 seconds, and the start report carries exactly the delay the
// field shows. Built once per edition.
#include "edition.h"
#include "tz3_player_main.h"
#include "virtual_yoyos.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

struct tz3_player_main_test_access {
    static yoyo::Broadcast &broadcast(tz3_player_main &w) { return w.broadcast; }
    static void poll_yoyos(tz3_player_main &w) { w.poll_yoyos(); }
    static void send_start(tz3_player_main &w) { w.send_start(); }
};
using inside = tz3_player_main_test_access;

namespace {

constexpr rig::Transport edition =
    player_edition::bluetooth ? rig::Transport::bluetooth : rig::Transport::usb;

// The delay accepted before each row.
constexpr int previous = 17;

} // namespace

class tst_delay_input : public QObject
{
    Q_OBJECT

    std::unique_ptr<rig::VirtualYoyos> yoyos;
    std::unique_ptr<tz3_player_main> window;

    QLineEdit *field() const { return window->findChild<QLineEdit *>("txt_delay"); }

    void type_into_field(const QString &text)
    {
        QTest::mouseClick(field(), Qt::LeftButton);
        QVERIFY(field()->hasFocus());
        field()->selectAll();
        QTest::keyClick(field(), Qt::Key_Delete);
        // One key event per character, carrying the character as its text,
        // as a keyboard layout or an input method delivers it.
        for (int i = 0; i < text.size(); ++i) {
            const int length = text.at(i).isHighSurrogate() ? 2 : 1;
            QTest::sendKeyEvent(QTest::Click, field(), Qt::Key_unknown, text.mid(i, length), Qt::NoModifier);
            i += length - 1;
        }
    }

private slots:
    void init()
    {
        yoyos = std::make_unique<rig::VirtualYoyos>();
        yoyos->add({edition, "1", 1, 1});
        window = std::make_unique<tz3_player_main>();
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        inside::poll_yoyos(*window);
        type_into_field(QString::number(previous));
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(field()->text(), QString::number(previous));
    }

    void cleanup()
    {
        QVERIFY(inside::broadcast(*window).wait_for_tasks(10000));
        window.reset();
        yoyos.reset();
    }

    void any_text_settles_on_a_delay_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("delay");
        // Numbers in base 10, whitespace and a sign allowed, are clamped.
        QTest::newRow("spaces around") << " 7 " << 7;
        QTest::newRow("no-break space") << QString::fromUtf8("8\u00A0") << 8;
        QTest::newRow("plus sign") << "+9" << 9;
        QTest::newRow("minus zero") << "-0" << 5;
        QTest::newRow("leading zeros") << "0007" << 7;
        QTest::newRow("all zeros") << "0000" << 5;
        QTest::newRow("large negative") << "-999" << 5;
        QTest::newRow("typographic minus") << QString::fromUtf8("\u221230") << 5;
        QTest::newRow("five digits, cut to four") << "99999" << 1200;
        QTest::newRow("1201 by its first four digits") << "12010" << 1200;
        // Anything else keeps the delay accepted before.
        QTest::newRow("empty") << "" << previous;
        QTest::newRow("only a sign") << "-" << previous;
        QTest::newRow("two signs") << "--5" << previous;
        QTest::newRow("decimal") << "7.5" << previous;
        QTest::newRow("decimal comma") << "7,5" << previous;
        QTest::newRow("exponent") << "1e3" << previous;
        QTest::newRow("hexadecimal") << "0x10" << previous;
        QTest::newRow("inner space") << "1 2" << previous;
        QTest::newRow("arabic-indic digit") << QString::fromUtf8("\u0667") << previous;
        QTest::newRow("full-width digits") << QString::fromUtf8("\uFF11\uFF10") << previous;
        QTest::newRow("letters") << "abc" << previous;
        QTest::newRow("emoji") << QString::fromUtf8("\U0001F600") << previous;
    }

    void any_text_settles_on_a_delay()
    {
        QFETCH(QString, typed);
        QFETCH(int, delay);
        type_into_field(typed);
        // Leaving the field by a click on Play validates it first.
        QTest::mouseClick(window->findChild<QPushButton *>("btn_play"), Qt::LeftButton);
        QCOMPARE(field()->text(), QString::number(delay));

        inside::send_start(*window);
        QVERIFY(yoyos->wait_for_reports(0, 1, 5000));
        QCOMPARE(rig::describe(yoyos->received(0)[0].bytes), "start " + std::to_string((delay - 1) * 60));
    }
};

QTEST_MAIN(tst_delay_input)
#include "tst_delay_input.moc"
