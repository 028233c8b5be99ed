// The font generator reproduces the committed fonts byte for byte. Our own
// two fonts need only the generator; Entypo+ also needs the npm tarball it
// is made from, which the build only knows of when VANTREL_ENTYPO_PACKAGE
// names it.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

class tst_font_generator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reproduces_data();
    void reproduces();

private:
    QTemporaryDir out;
};

void tst_font_generator::initTestCase()
{
    QVERIFY(out.isValid());
    QStringList arguments{GENERATOR, "--out", out.path()};
    if (!QByteArray(ENTYPO_PACKAGE).isEmpty())
        arguments << "--entypo" << ENTYPO_PACKAGE;
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    generator.start(SYSTEM_PYTHON, arguments);
    QVERIFY(generator.waitForFinished(120000));
    QCOMPARE(generator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(generator.exitCode(), 0);
}

void tst_font_generator::reproduces_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("logo") << "talvek_logo.ttf";
    QTest::newRow("product icons") << "tz3_other_icons.ttf";
    QTest::newRow("pictograms") << "Entypo+.ttf";
}

void tst_font_generator::reproduces()
{
    QFETCH(QString, file);
    const QString generated = out.filePath(file);
    if (file == "Entypo+.ttf" && !QFile::exists(generated))
        QSKIP("no Entypo npm tarball configured (VANTREL_ENTYPO_PACKAGE)");
    const QByteArray committed = contents(RESOURCES_DIR "/fonts/" + file);
    QVERIFY(!committed.isEmpty());
    QVERIFY(contents(generated) == committed);
}

QTEST_GUILESS_MAIN(tst_font_generator)
#include "tst_font_generator.moc"
