#include "osc_endpoint.h"

#include <QTimer>
#include <QUdpSocket>

#include <lo/lo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(remote_log, "vantrel.remote", QtInfoMsg)

namespace remote {

namespace {

constexpr std::size_t most_subscribers = 16;
constexpr int most_waiting = 64;
constexpr std::chrono::hours furthest_ahead(24);

wall_clock::time_point from_time_tag(lo_timetag tag)
{
    // OSC counts from 1900, the Unix epoch from 1970.
    constexpr double seconds_1900_to_1970 = 2208988800.0;
    const double unix_seconds = double(tag.sec) - seconds_1900_to_1970 + double(tag.frac) / 4294967296.0;
    return wall_clock::time_point(
        std::chrono::duration_cast<wall_clock::duration>(std::chrono::duration<double>(unix_seconds)));
}

template <typename Value>
Value copied(const char *at)
{
    Value value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// What a refusal names when no message could be read: the packet's leading
// address, if it has one.
QString leading_address(const QByteArray &packet)
{
    const int end = packet.indexOf('\0');
    const QByteArray lead = packet.left(end < 0 ? 0 : qMin(end, 256));
    return lead.startsWith('/') ? QString::fromLatin1(lead) : QString();
}

} // namespace

struct endpoint_decoding {
    static int collect(const char *path, const char *types, lo_arg **argv, int argc, lo_message message,
                       void *data)
    {
        auto *self = static_cast<osc_endpoint *>(data);
        command done{QString::fromUtf8(path), QString::fromLatin1(types), {}, self->decoding_from, {}};
        for (int i = 0; i < argc; ++i) {
            // liblo aligns arguments to 4 bytes only, less than its union
            // asks for: each value is copied out.
            const char *at = reinterpret_cast<const char *>(argv[i]);
            switch (types[i]) {
            case LO_INT32: done.args << copied<std::int32_t>(at); break;
            case LO_INT64: done.args << qlonglong(copied<std::int64_t>(at)); break;
            case LO_FLOAT: done.args << double(copied<float>(at)); break;
            case LO_DOUBLE: done.args << copied<double>(at); break;
            case LO_STRING:
            case LO_SYMBOL: done.args << QString::fromUtf8(at); break;
            case LO_TIMETAG:
                done.args << std::chrono::duration<double>(from_time_tag(copied<lo_timetag>(at)).time_since_epoch()).count();
                break;
            default: done.args << QVariant(); break;
            }
        }
        const lo_timetag tag = lo_message_get_timestamp(message);
        if (!(tag.sec == 0 && tag.frac == 1))
            done.at = from_time_tag(tag);
        self->decoded.push_back(done);
        return 0;
    }
};

osc_endpoint::osc_endpoint(const QString &prefix, QObject *parent)
    : QObject(parent)
    , prefix(prefix)
    , socket(new QUdpSocket(this))
{
    // liblo decodes through a server of its own, which binds a socket to an
    // unused port on every address. That socket is never read; where POSIX
    // allows, an unbound one takes its place, so that nothing listens there.
    lo_server server = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
    decoder = server;
    if (!server)
        return;
#ifdef Q_OS_UNIX
    const int unbound = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (unbound >= 0) {
        ::dup2(unbound, lo_server_get_socket_fd(server));
        ::close(unbound);
    }
#endif
    // Bundles are taken apart at once; their times are kept here.
    lo_server_enable_queue(server, 0, 0);
    lo_server_add_method(server, nullptr, nullptr, endpoint_decoding::collect, this);

    connect(socket, &QUdpSocket::readyRead, this, [this] {
        while (socket->hasPendingDatagrams()) {
            QByteArray packet(int(qMax<qint64>(0, socket->pendingDatagramSize())), '\0');
            peer from;
            const qint64 size = socket->readDatagram(packet.data(), packet.size(), &from.host, &from.port);
            if (size >= 0)
                receive(packet.left(int(size)), from);
        }
    });
}

osc_endpoint::~osc_endpoint()
{
    if (decoder)
        lo_server_free(static_cast<lo_server>(decoder));
}

QString osc_endpoint::listen(const QHostAddress &address, quint16 port)
{
    if (!decoder)
        return QStringLiteral("OSC cannot be decoded here");
    if (!socket->bind(address, port))
        return socket->errorString();
    return QString();
}

quint16 osc_endpoint::port() const
{
    return socket->localPort();
}

void osc_endpoint::add(const QString &name, const QStringList &types, handler run, bool timed)
{
    table[prefix + '/' + name] = entry{types, std::move(run), timed};
}

void osc_endpoint::reply(const peer &to, const QString &name, const QVariantList &args)
{
    socket->writeDatagram(encode(name, args), to.host, to.port);
}

bool osc_endpoint::subscribe(const peer &who)
{
    if (std::find(subscribers.begin(), subscribers.end(), who) != subscribers.end())
        return true;
    if (subscribers.size() >= most_subscribers)
        return false;
    subscribers.push_back(who);
    return true;
}

void osc_endpoint::notify(const QString &name, const QVariantList &args)
{
    const QByteArray packet = encode(name, args);
    for (const peer &to : subscribers)
        socket->writeDatagram(packet, to.host, to.port);
}

void osc_endpoint::receive(QByteArray packet, const peer &sender)
{
    if (packet.size() > largest_packet) {
        refuse(sender, leading_address(packet), QStringLiteral("packet larger than %1 bytes").arg(largest_packet));
        return;
    }
    decoded.clear();
    decoding_from = sender;
    // A packet is run whole or not at all: liblo may have handed over part
    // of a bundle before finding the fault in the rest.
    const int used = packet.size() < 4 ? -1
                                        : lo_server_dispatch_data(static_cast<lo_server>(decoder), packet.data(),
                                                                  std::size_t(packet.size()));
    std::vector<command> commands;
    commands.swap(decoded);
    if (used != packet.size()) {
        refuse(sender, leading_address(packet), QStringLiteral("malformed packet"));
        return;
    }
    for (const command &done : commands)
        run(done);
}

void osc_endpoint::run(const command &done)
{
    const auto found = table.find(done.address);
    if (found == table.end()) {
        refuse(done.sender, done.address, QStringLiteral("unknown address"));
        return;
    }
    const entry &known = found->second;
    if (!known.types.contains(done.types)) {
        const auto shown = [](const QString &types) { return types.isEmpty() ? QStringLiteral("none") : types; };
        QStringList accepted;
        for (const QString &types : known.types)
            accepted << shown(types);
        refuse(done.sender, done.address,
               QStringLiteral("takes %1, not %2").arg(accepted.join(QStringLiteral(" or ")), shown(done.types)));
        return;
    }
    const auto ahead = done.at ? *done.at - wall_clock::now() : wall_clock::duration::zero();
    if (ahead > wall_clock::duration::zero() && !known.timed) {
        if (ahead > furthest_ahead || waiting >= most_waiting) {
            refuse(done.sender, done.address,
                   ahead > furthest_ahead ? QStringLiteral("more than a day ahead")
                                          : QStringLiteral("too many commands waiting"));
            return;
        }
        ++waiting;
        command now = done;
        now.at.reset();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(ahead).count();
        QTimer::singleShot(int(ms), Qt::PreciseTimer, this, [this, now] {
            --waiting;
            run(now);
        });
        return;
    }
    const QString why = known.run(done);
    if (!why.isEmpty())
        refuse(done.sender, done.address, why);
}

void osc_endpoint::refuse(const peer &to, const QString &address, const QString &reason)
{
    qCInfo(remote_log).noquote() << QStringLiteral("%1 from %2:%3 refused: %4")
                                        .arg(address.isEmpty() ? QStringLiteral("(no address)") : address,
                                             to.host.toString())
                                        .arg(to.port)
                                        .arg(reason);
    reply(to, QStringLiteral("error"), {address, reason});
}

QByteArray osc_endpoint::encode(const QString &name, const QVariantList &args) const
{
    lo_message message = lo_message_new();
    for (const QVariant &arg : args) {
        if (arg.type() == QVariant::Int)
            lo_message_add_int32(message, arg.toInt());
        else
            lo_message_add_string(message, arg.toString().toUtf8().constData());
    }
    std::size_t size = 0;
    void *bytes = lo_message_serialise(message, (prefix + '/' + name).toUtf8().constData(), nullptr, &size);
    const QByteArray packet(static_cast<const char *>(bytes), int(size));
    std::free(bytes);
    lo_message_free(message);
    return packet;
}

} // namespace remote
