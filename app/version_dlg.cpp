#include "version_dlg.h"
#include "ui_version_dlg.h"

#include <QFile>
#include <QTextStream>

#ifdef VERSION_DLG_LISTS_LIBVLC
#include <vlc/vlc.h>
#endif

namespace {

// The texts are UTF-8 whatever the system's code page is; a missing text
// leaves its box empty.
void load_licence(QPlainTextEdit *view, const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    view->setPlainText(stream.readAll());
}

// The form names the component; the version shown is the one the program
// runs with.
void add_version(QLabel *label, const QString &version)
{
    label->setText(label->text() + QLatin1Char(' ') + version);
}

} // namespace

version_dlg::version_dlg(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::version_dlg)
{
    ui->setupUi(this);
#ifdef VERSION_DLG_LISTS_LIBVLC
    // libvlc follows its version number with a release name.
    add_version(ui->label_11, QString::fromUtf8(libvlc_get_version()).section(QLatin1Char(' '), 0, 0));
#endif
    add_version(ui->label, QString::fromLatin1(qVersion()));
    load_licence(ui->lic_e, QStringLiteral(":/lic/entypo.txt"));
    load_licence(ui->lic_h, QStringLiteral(":/lic/hidapi.txt"));
#ifdef VERSION_DLG_LISTS_LIBVLC
    load_licence(ui->lic_vlc, QStringLiteral(":/lic/vlc.txt"));
#endif
    load_licence(ui->lic_q, QStringLiteral(":/lic/qt.txt"));
}

version_dlg::~version_dlg()
{
    delete ui;
}

void version_dlg::resizeEvent(QResizeEvent *)
{
    setFixedSize(width(), height());
}
