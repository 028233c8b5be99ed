// Video paths that cannot be played, or only just: each is refused quickly
// or played to its own end, and a refusal leaves the video accepted before
// loaded and the window's label as it was. Real libvlc in a private X
// session.
#include "player_widget.h"
#include "tz3_player_main.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

const QString clip = QStringLiteral(MEDIA_DIR "/clip_2s.mp4");

// Each path below is unreadable as a video in its own way; root reads files
// whatever their mode, so unreadable paths are made of what no mode changes.
enum class Kind { missing, missing_directory, file_as_directory, directory, pipe, empty, huge, other_separator };

} // namespace

Q_DECLARE_METATYPE(Kind)

class tst_video_input : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString make(Kind kind)
    {
        switch (kind) {
        case Kind::missing:
            return dir.filePath("no_such_clip.mp4");
        case Kind::missing_directory:
            return dir.filePath("no_such_dir/clip_2s.mp4");
        case Kind::file_as_directory:
            return clip + "/clip_2s.mp4";
        case Kind::directory: {
            const QString path = dir.filePath("folder.mp4");
            QDir().mkpath(path);
            QFile::copy(clip, path + "/inside.mp4");
            return path;
        }
        case Kind::pipe: {
            const QString path = dir.filePath("pipe.mp4");
            mkfifo(QFile::encodeName(path).constData(), 0600);
            return path;
        }
        case Kind::empty: {
            const QString path = dir.filePath("empty.mp4");
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            return path;
        }
        case Kind::huge: {
            // Several gigabytes of holes: nothing on disk, zeros to read.
            const QString path = dir.filePath("huge.mp4");
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.resize(qint64(6) << 30);
            return path;
        }
        case Kind::other_separator:
            return QDir::toNativeSeparators(clip).replace('/', '\\');
        }
        return QString();
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void refused_quickly_and_the_earlier_video_stays_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("missing") << Kind::missing;
        QTest::newRow("in a directory that does not exist") << Kind::missing_directory;
        QTest::newRow("under a regular file") << Kind::file_as_directory;
        QTest::newRow("a directory") << Kind::directory;
        QTest::newRow("a pipe nobody writes") << Kind::pipe;
        QTest::newRow("empty") << Kind::empty;
        QTest::newRow("huge and hollow") << Kind::huge;
        QTest::newRow("backslashes on a slash system") << Kind::other_separator;
    }

    void refused_quickly_and_the_earlier_video_stays()
    {
        QFETCH(Kind, kind);
        player_widget surface;
        surface.show();
        QVERIFY(QTest::qWaitForWindowExposed(&surface));
        QCOMPARE(surface.open_media(clip), QString("clip_2s.mp4"));
        const QString path = make(kind);

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(surface.open_media(path), QString());
        qInfo("refused in %lld ms", clock.elapsed());
        QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));

        // Play plays the clip accepted before, to its own end.
        QVERIFY(surface.has_media());
        QSignalSpy stopped(&surface, &player_widget::player_stopped);
        surface.start_playback();
        QTRY_VERIFY_WITH_TIMEOUT(surface.is_playing(), 5000);
        QVERIFY(stopped.wait(10000));
    }

    // The first part of a video: whatever libvlc makes of it, opening it
    // ends, and if it is accepted it plays to its own early end.
    void truncated_video()
    {
        QFile whole(clip);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QString path = dir.filePath("truncated.mp4");
        QFile part(path);
        QVERIFY(part.open(QIODevice::WriteOnly));
        part.write(whole.read(whole.size() / 2));
        part.close();

        player_widget surface;
        surface.show();
        QVERIFY(QTest::qWaitForWindowExposed(&surface));
        QElapsedTimer clock;
        clock.start();
        const QString name = surface.open_media(path);
        QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
        qInfo("half a clip is %s", name.isEmpty() ? "refused" : "accepted");
        if (name.isEmpty())
            return;
        QCOMPARE(name, QString("truncated.mp4"));
        QSignalSpy stopped(&surface, &player_widget::player_stopped);
        surface.start_playback();
        QVERIFY(stopped.wait(10000));
        QVERIFY(!surface.is_playing());
    }

    void names_beyond_ascii_data()
    {
        QTest::addColumn<QString>("file_name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("accented, short") << QString::fromUtf8("vidéo façade.mp4") << QString::fromUtf8("vidéo façade.mp4");
        QTest::newRow("CJK, long") << QString::fromUtf8("開幕のショー映像ファイル最終版テスト用の動画.mp4")
                                   << QString::fromUtf8("開幕のショー映像ファイル最終版テスト用の...");
        QTest::newRow("a backslash is part of a name here") << "left\\right.mp4" << "left\\right.mp4";
        // A character outside the basic plane straddles the cut: it is kept
        // whole or left out, never halved.
        QTest::newRow("emoji at the cut") << QString::fromUtf8("0123456789012345678\U0001F3AC_show.mp4")
                                          << QString::fromUtf8("0123456789012345678...");
    }

    void names_beyond_ascii()
    {
        QFETCH(QString, file_name);
        QFETCH(QString, shown);
        const QString path = dir.filePath(file_name);
        QFile::remove(path);
        QVERIFY(QFile::copy(clip, path));
        player_widget surface;
        surface.show();
        QVERIFY(QTest::qWaitForWindowExposed(&surface));
        const QString name = surface.open_media(path);
        QVERIFY(surface.has_media());
        QCOMPARE(name, shown);
    }

    // Through the window's own dialog: a file refused there leaves the label
    // and the loaded video as they were.
    void refused_in_the_window_keeps_the_label()
    {
        tz3_player_main window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *label = window.findChild<QLabel *>("lbl_file_name");
        auto *surface = window.findChild<player_widget *>();
        auto choose = [&](const QString &path) {
            QTimer::singleShot(300, [path] {
                for (QWidget *top : QApplication::topLevelWidgets()) {
                    auto *dialog = qobject_cast<QFileDialog *>(top);
                    if (!dialog || !dialog->isVisible())
                        continue;
                    dialog->findChild<QLineEdit *>("fileNameEdit")->setText(path);
                    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
                }
            });
            QTest::mouseClick(window.findChild<QPushButton *>("btn_open"), Qt::LeftButton);
        };
        choose(clip);
        QCOMPARE(label->text(), QString("clip_2s.mp4"));
        choose(make(Kind::empty));
        QCOMPARE(label->text(), QString("clip_2s.mp4"));
        choose(make(Kind::huge));
        QCOMPARE(label->text(), QString("clip_2s.mp4"));
        QVERIFY(surface->has_media());
    }
};

QTEST_MAIN(tst_video_input)
#include "tst_video_input.moc"
