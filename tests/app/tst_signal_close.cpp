// SIGINT and SIGTERM close the program's windows the way their close buttons
// do, a modal dialog first.
#include "signal_close.h"

#include <QDialog>
#include <QMainWindow>
#include <QtTest>

#include <csignal>

namespace {

class window_under_test : public QMainWindow
{
public:
    int closes = 0;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        ++closes;
        QMainWindow::closeEvent(event);
    }
};

} // namespace

class tst_signal_close : public QObject
{
    Q_OBJECT

private slots:
    void closes_every_window_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("modal");
        QTest::newRow("SIGINT") << SIGINT << false;
        QTest::newRow("SIGTERM") << SIGTERM << false;
        QTest::newRow("SIGTERM, a modal dialog up") << SIGTERM << true;
    }

    void closes_every_window()
    {
        QFETCH(int, number);
        QFETCH(bool, modal);
        signal_close closer;
        window_under_test window;
        window.show();
        QDialog dialog(&window);
        int dialog_result = -1;
        if (modal)
            QTimer::singleShot(0, &dialog, [&] { dialog_result = dialog.exec(); });
        // The signal comes once the dialog, if any, is up and running.
        QTimer up;
        connect(&up, &QTimer::timeout, [&] {
            if (!modal || dialog.isVisible()) {
                up.stop();
                ::raise(number);
            }
        });
        up.start(10);
        QTRY_COMPARE(window.closes, 1);
        QVERIFY(!window.isVisible());
        QTRY_COMPARE(dialog_result, modal ? int(QDialog::Rejected) : -1);
    }
};

QTEST_MAIN(tst_signal_close)
#include "tst_signal_close.moc"
