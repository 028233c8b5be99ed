#pragma once

// A cue system's side of OSC: packets built and replies read with liblo,
// sent from a UDP socket of the test's own.

#include <QElapsedTimer>
#include <QStringList>
#include <QTest>
#include <QUdpSocket>

#include <lo/lo.h>

#include <chrono>
#include <cstdlib>

namespace osc {

using wall = std::chrono::system_clock;

inline lo_timetag time_tag(wall::time_point at)
{
    const double unix_seconds = std::chrono::duration<double>(at.time_since_epoch()).count();
    const double since_1900 = unix_seconds + 2208988800.0;
    lo_timetag tag;
    tag.sec = std::uint32_t(since_1900);
    tag.frac = std::uint32_t((since_1900 - double(tag.sec)) * 4294967296.0);
    return tag;
}

// `types` as liblo takes them ("i", "s", "d", "t", "iii", ""), then the values.
template <typename... Values>
lo_message message(const char *types, Values... values)
{
    lo_message built = lo_message_new();
    lo_message_add(built, types, values..., LO_ARGS_END);
    return built;
}

inline QByteArray packet(const char *path, lo_message built)
{
    std::size_t size = 0;
    void *bytes = lo_message_serialise(built, path, nullptr, &size);
    const QByteArray out(static_cast<const char *>(bytes), int(size));
    std::free(bytes);
    lo_message_free(built);
    return out;
}

inline QByteArray bundle(wall::time_point at, const char *path, lo_message built)
{
    lo_bundle whole = lo_bundle_new(time_tag(at));
    lo_bundle_add_message(whole, path, built);
    std::size_t size = 0;
    void *bytes = lo_bundle_serialise(whole, nullptr, &size);
    const QByteArray out(static_cast<const char *>(bytes), int(size));
    std::free(bytes);
    lo_bundle_free_recursive(whole);
    return out;
}

class Client
{
public:
    explicit Client(quint16 to) : to(to) { socket.bind(QHostAddress(QHostAddress::LocalHost), 0); }

    void send(const QByteArray &packet) { socket.writeDatagram(packet, QHostAddress::LocalHost, to); }
    quint16 port() const { return socket.localPort(); }

    // Replies as "/path arg arg", until `count` have come or `ms` passed.
    QStringList replies(int count, int ms = 3000)
    {
        QElapsedTimer waited;
        waited.start();
        while (received.size() < count && waited.elapsed() < ms) {
            if (!socket.waitForReadyRead(20))
                QTest::qWait(1);
            while (socket.hasPendingDatagrams()) {
                QByteArray bytes(int(socket.pendingDatagramSize()), '\0');
                socket.readDatagram(bytes.data(), bytes.size());
                received << described(bytes);
            }
        }
        const QStringList taken = received;
        received.clear();
        return taken;
    }

private:
    static QString described(QByteArray bytes)
    {
        int result = 0;
        lo_message reply = lo_message_deserialise(bytes.data(), std::size_t(bytes.size()), &result);
        if (!reply)
            return QStringLiteral("undecodable");
        QStringList line{QString::fromUtf8(bytes.constData())};
        const char *types = lo_message_get_types(reply);
        lo_arg **argv = lo_message_get_argv(reply);
        for (int i = 0; i < lo_message_get_argc(reply); ++i)
            line << (types[i] == LO_INT32 ? QString::number(argv[i]->i) : QString::fromUtf8(&argv[i]->s));
        lo_message_free(reply);
        return line.join(' ');
    }

    quint16 to;
    QUdpSocket socket;
    QStringList received;
};

} // namespace osc
