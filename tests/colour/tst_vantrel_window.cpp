// The colour tool's window without yo-yos: its controls at start, its place
// on the screen and its end.
#include "color_pallet_item.h"
#include "vantrel.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <memory>

namespace {

QPoint centred(const QSize &window)
{
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    return {(screen.width() - 1) / 2 - (window.width() - 1) / 2,
            (screen.height() - 1) / 2 - (window.height() - 1) / 2};
}

// Whether a thread of this process carries `name`. Reads the system's view so
// that asking does not run this thread's event loop.
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

} // namespace

class tst_vantrel_window : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<vantrel> window;

    template <typename T>
    T *child(const char *name) const
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no %s", name);
        return found;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toLocal8Bit());
    }

    void init() { window = std::make_unique<vantrel>(); }
    void cleanup() { window.reset(); }

    void auto_is_ticked_and_send_disabled_until_unticked()
    {
        auto *automatic = child<QCheckBox>("chk_send_auto");
        auto *send = child<QPushButton>("btn_send_col");
        QVERIFY(automatic->isChecked());
        QVERIFY(!send->isEnabled());
        QCOMPARE(send->palette().color(QPalette::Disabled, QPalette::ButtonText), QColor(148, 148, 148));
        QCOMPARE(child<QLabel>("lbl_con")->text(), QString("0"));

        automatic->click();
        QVERIFY(send->isEnabled());
        automatic->click();
        QVERIFY(!send->isEnabled());
    }

    void fixed_size_centred_on_every_show()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->size(), window->minimumSizeHint());
        QCOMPARE(window->minimumSize(), window->size());
        QCOMPARE(window->maximumSize(), window->size());
        QTRY_COMPARE(window->pos(), centred(window->size()));

        window->hide();
        window->move(3, 4);
        window->show();
        QTRY_COMPARE(window->pos(), centred(window->size()));

        for (const char *name : {"col_f1", "col_f2", "col_f3", "col_f4", "col_f5"}) {
            QCOMPARE(child<ColorPalletItem>(name)->size(), QSize(50, 50));
            QCOMPARE(child<ColorPalletItem>(name)->cursor().shape(), Qt::PointingHandCursor);
        }
        QCOMPARE(child<QPushButton>("btn_version_info")->size(), QSize(30, 30));
    }

    // The poll thread may be waiting for this thread to take its next count
    // when the window goes, as it is after the event loop has returned.
    void closing_while_a_count_is_pending_ends_the_poller()
    {
        auto *count = child<QLabel>("lbl_con");
        count->setText("-");
        QTRY_COMPARE(count->text(), QString("0"));
        QVERIFY(thread_named("yoyo-poll"));
        // Hold this thread away from its event loop for longer than a poll
        // wait, so the next hand-over is certainly pending.
        QThread::msleep(2 * 250);

        QElapsedTimer clock;
        clock.start();
        window.reset();
        QVERIFY(clock.elapsed() < 1000);
        QDeadlineTimer deadline(5000);
        while (thread_named("yoyo-poll") && !deadline.hasExpired())
            QThread::msleep(5);
        QVERIFY2(!thread_named("yoyo-poll"), "the poll thread outlived its window");
        // Nothing left over may reach for the window.
        QTest::qWait(2 * 250);
    }
};

QTEST_MAIN(tst_vantrel_window)
#include "tst_vantrel_window.moc"
