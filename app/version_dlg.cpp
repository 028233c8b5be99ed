#include "version_dlg.h"
#include "ui_version_dlg.h"

#include <QFile>
#include <QTextStream>

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

} // namespace

version_dlg::version_dlg(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::version_dlg)
{
    ui->setupUi(this);
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
