// Each program's Windows resources, compiled here with the MinGW resource
// compiler: the version information a user sees in the file's properties,
// the icon group Qt loads for every window, and a desktop entry that agrees
// with the version strings.
#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <tuple>

namespace {

constexpr quint16 rt_icon = 3;
constexpr quint16 rt_group_icon = 14;
constexpr quint16 rt_version = 16;
constexpr quint16 us_english = 1033;

// A type or name of a resource: an ordinal or a string.
struct res_id
{
    quint16 ordinal = 0;
    QString name;
};

struct resource
{
    res_id type;
    res_id name;
    quint16 language = 0;
    QByteArray data;
};

quint16 word_at(const QByteArray &data, int offset)
{
    return quint16(uchar(data[offset]) | uchar(data[offset + 1]) << 8);
}

quint32 dword_at(const QByteArray &data, int offset)
{
    return quint32(word_at(data, offset)) | quint32(word_at(data, offset + 2)) << 16;
}

int aligned(int offset)
{
    return (offset + 3) & ~3;
}

// A zero-terminated UTF-16 string; advances offset past the terminator.
QString utf16_at(const QByteArray &data, int &offset)
{
    QString text;
    for (quint16 unit; (unit = word_at(data, offset)) != 0; offset += 2)
        text += QChar(unit);
    offset += 2;
    return text;
}

res_id id_at(const QByteArray &data, int &offset)
{
    res_id id;
    if (word_at(data, offset) == 0xFFFF) {
        id.ordinal = word_at(data, offset + 2);
        offset += 4;
    } else {
        id.name = utf16_at(data, offset);
    }
    return id;
}

// The resources of a .res file, without the empty one that starts it.
QList<resource> read_res(const QByteArray &file)
{
    QList<resource> resources;
    for (int offset = 0; offset + 8 <= file.size();) {
        const quint32 data_size = dword_at(file, offset);
        const quint32 header_size = dword_at(file, offset + 4);
        int field = offset + 8;
        resource r;
        r.type = id_at(file, field);
        r.name = id_at(file, field);
        field = aligned(field);
        r.language = word_at(file, field + 6);
        r.data = file.mid(offset + int(header_size), int(data_size));
        if (data_size > 0)
            resources << r;
        offset = aligned(offset + int(header_size + data_size));
    }
    return resources;
}

// One node of the version information tree.
struct version_node
{
    QString key;
    QByteArray value;
    bool text = false;
    QList<version_node> children;
};

version_node read_version_node(const QByteArray &data, int offset)
{
    const int end = offset + word_at(data, offset);
    const int value_length = word_at(data, offset + 2);
    version_node node;
    node.text = word_at(data, offset + 4) == 1;
    int field = offset + 6;
    node.key = utf16_at(data, field);
    field = aligned(field);
    const int value_bytes = node.text ? value_length * 2 : value_length;
    node.value = data.mid(field, value_bytes);
    for (field = aligned(field + value_bytes); field < end;
         field = aligned(field + word_at(data, field)))
        node.children << read_version_node(data, field);
    return node;
}

const version_node *child(const version_node &node, const QString &key)
{
    for (const version_node &c : node.children) {
        if (c.key == key)
            return &c;
    }
    return nullptr;
}

QString text_value(const version_node &node)
{
    QString text;
    for (int i = 0; i + 1 < node.value.size(); i += 2)
        text += QChar(word_at(node.value, i));
    return text.section(QChar(0), 0, 0);
}

// Size, colour depth and storage of one icon image as Windows reads it.
struct icon_image
{
    int size;
    int bits;
    bool png;
    bool operator==(const icon_image &o) const
    {
        return size == o.size && bits == o.bits && png == o.png;
    }
    bool operator<(const icon_image &o) const
    {
        return std::tie(size, bits, png) < std::tie(o.size, o.bits, o.png);
    }
};

char *toString(const icon_image &image)
{
    return QTest::toString(QStringLiteral("%1px %2bpp %3")
                               .arg(image.size)
                               .arg(image.bits)
                               .arg(image.png ? "PNG" : "BMP"));
}

// What the image data itself says; a bitmap's height covers image and mask.
icon_image decode_icon(const QByteArray &data, bool *consistent)
{
    if (data.startsWith("\x89PNG\r\n\x1a\n")) {
        const int width = int(qFromBigEndian<quint32>(data.constData() + 16));
        const int depth = uchar(data[24]);
        const int colour_type = uchar(data[25]);
        const int bits = colour_type == 6 ? 4 * depth : colour_type == 3 ? depth : -1;
        *consistent = !QImage::fromData(data, "PNG").isNull();
        return {width, bits, true};
    }
    const int width = int(dword_at(data, 4));
    *consistent = dword_at(data, 0) == 40 && int(dword_at(data, 8)) == 2 * width;
    return {width, word_at(data, 14), false};
}

// The keys of a desktop entry file's main group.
QMap<QString, QString> desktop_entry(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QMap<QString, QString> keys;
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    if (lines.value(0) != "[Desktop Entry]")
        return {};
    for (const QString &line : lines.mid(1)) {
        if (line.startsWith('['))
            break;
        const int equals = line.indexOf('=');
        if (equals > 0)
            keys.insert(line.left(equals), line.mid(equals + 1));
    }
    return keys;
}

} // namespace

class tst_windows_resources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void program_data();
    void program();

private:
    QList<resource> compile(const QString &program);
    QTemporaryDir scratch;
};

void tst_windows_resources::initTestCase()
{
    QVERIFY2(QFile::exists(WINDRES),
             "the MinGW resource compiler is missing: install binutils-mingw-w64-i686");
    QVERIFY(scratch.isValid());
}

QList<resource> tst_windows_resources::compile(const QString &program)
{
    const QString res = scratch.filePath(program + ".res");
    QProcess windres;
    windres.start(WINDRES, {"--preprocessor=" C_COMPILER, "--preprocessor-arg=-E",
                            "--preprocessor-arg=-xc", "--preprocessor-arg=-DRC_INVOKED",
                            "-O", "res", "-i", RESOURCES_BINARY_DIR "/" + program + "/" + program + ".rc",
                            "-o", res});
    if (!windres.waitForFinished(60000) || windres.exitCode() != 0) {
        qWarning().noquote() << windres.readAllStandardError();
        return {};
    }
    QFile file(res);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return read_res(file.readAll());
}

void tst_windows_resources::program_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("file_name");
    QTest::addColumn<QString>("internal_name");
    QTest::newRow("skeel") << "skeel" << "Bluetooth Skeel for Vantrel" << "Bluetooth Skeel"
                           << "skeel.exe" << "SKEEL";
    QTest::newRow("pulsetra") << "pulsetra" << "Pulsetra for Vantrel" << "Pulsetra"
                              << "player.exe" << "PLAYER";
    QTest::newRow("pulsetra_ble") << "pulsetra_ble" << "Pulsetra (Bluetooth Edition) for Vantrel"
                                  << "Pulsetra (Bluetooth Edition)" << "pulsetra_ble.exe"
                                  << "PULSETRA BLE";
}

void tst_windows_resources::program()
{
    QFETCH(QString, program);
    QFETCH(QString, description);
    QFETCH(QString, product);
    QFETCH(QString, file_name);
    QFETCH(QString, internal_name);

    const QList<resource> resources = compile(program);
    QVERIFY(!resources.isEmpty());
    for (const resource &r : resources)
        QCOMPARE(r.language, us_english);

    // Version information: one block, fixed part and US English strings.
    const resource *version = nullptr;
    const resource *group = nullptr;
    QMap<quint16, QByteArray> icons;
    for (const resource &r : resources) {
        if (r.type.ordinal == rt_version)
            version = &r;
        if (r.type.ordinal == rt_group_icon)
            group = &r;
        if (r.type.ordinal == rt_icon)
            icons.insert(r.name.ordinal, r.data);
    }
    QVERIFY(version);
    const version_node root = read_version_node(version->data, 0);
    QCOMPARE(root.key, QString("VS_VERSION_INFO"));
    QCOMPARE(root.value.size(), 52);
    const QByteArray &fixed = root.value;
    QCOMPARE(dword_at(fixed, 0), 0xFEEF04BDu);
    QCOMPARE(dword_at(fixed, 8), 0x00010000u);  // file version 1.0.0.0
    QCOMPARE(dword_at(fixed, 12), 0u);
    QCOMPARE(dword_at(fixed, 16), 0x00010000u); // product version 1.0.0.0
    QCOMPARE(dword_at(fixed, 20), 0u);
    QCOMPARE(dword_at(fixed, 32), 0x4u);        // 32-bit Windows
    QCOMPARE(dword_at(fixed, 36), 0x1u);        // application

    const version_node *string_info = child(root, "StringFileInfo");
    QVERIFY(string_info);
    QCOMPARE(string_info->children.size(), 1);
    const version_node &table = string_info->children.first();
    QCOMPARE(table.key, QString("040904E4"));
    QMap<QString, QString> strings;
    for (const version_node &entry : table.children)
        strings.insert(entry.key, text_value(entry));
    const QString copyright = strings.take("LegalCopyright");
    QVERIFY(copyright.contains(QChar(0xA9)) && copyright.contains("Talvek Inc."));
    const QMap<QString, QString> expected{
        {"CompanyName", "Talvek Inc."}, {"FileDescription", description},
        {"ProductName", product},       {"OriginalFilename", file_name},
        {"InternalName", internal_name}, {"ProductVersion", "1.0.0"},
        {"FileVersion", "1.0.0"}};
    QCOMPARE(strings, expected);

    const version_node *var_info = child(root, "VarFileInfo");
    QVERIFY(var_info);
    const version_node *translation = child(*var_info, "Translation");
    QVERIFY(translation);
    QCOMPARE(translation->value, QByteArray("\x09\x04\xE4\x04", 4));

    // The icon group IDI_ICON1 and its 12 images.
    QVERIFY(group);
    QCOMPARE(group->name.name, QString("IDI_ICON1"));
    QCOMPARE(word_at(group->data, 2), quint16(1));
    const int count = word_at(group->data, 4);
    QCOMPARE(count, 12);
    QList<icon_image> images;
    for (int i = 0; i < count; ++i) {
        const int entry = 6 + 14 * i;
        const int listed_size = uchar(group->data[entry]) ? uchar(group->data[entry]) : 256;
        const int listed_bits = word_at(group->data, entry + 6);
        const quint16 id = word_at(group->data, entry + 12);
        QVERIFY(icons.contains(id));
        const QByteArray &data = icons[id];
        QCOMPARE(dword_at(group->data, entry + 8), quint32(data.size()));
        bool consistent = false;
        const icon_image image = decode_icon(data, &consistent);
        QVERIFY(consistent);
        QCOMPARE(image.size, listed_size);
        QCOMPARE(image.bits, listed_bits);
        images << image;
    }
    std::sort(images.begin(), images.end());
    QList<icon_image> wanted;
    for (int size : {16, 32, 48, 256}) {
        for (int bits : {4, 8, 32})
            wanted << icon_image{size, bits, size == 256};
    }
    QCOMPARE(images, wanted);

    // The Linux desktop entry names the program as Windows does.
    const QMap<QString, QString> entry =
        desktop_entry(RESOURCES_BINARY_DIR "/" + program + "/" + program + ".desktop");
    QCOMPARE(entry.value("Name"), product);
    QCOMPARE(entry.value("Comment"), description);
    QCOMPARE(entry.value("Icon"), program);
    QCOMPARE(entry.value("Exec"), program);
}

QTEST_GUILESS_MAIN(tst_windows_resources)
#include "tst_windows_resources.moc"
