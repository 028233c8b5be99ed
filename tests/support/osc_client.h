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
#include <cstring>
#include <optional>

namespace osc {

using wall = std::chrono::system_clock;

inline lo_timetag time_tag(wall::time_point at)
{
    const double since_1900 = std::chrono::duration<double>(at.time_since_epoch()).count() + 2208988800.0;
    return {std::uint32_t(since_1900), std::uint32_t((since_1900 - std::uint32_t(since_1900)) * 4294967296.0)};
}

// `types` as liblo takes them ("i", "s", "d", "t", "iii", ""), then the values.
template <typename... Values>
lo_message message(const char *types, Values... values)
{
    lo_message built = lo_message_new();
    lo_message_add(built, types, values...);
    return built;
}

// A lone message, or one in a bundle with time tag `at`.
inline QByteArray packet(const char *path, lo_message built, std::optional<wall::time_point> at = {})
{
    lo_bundle whole = at ? lo_bundle_new(time_tag(*at)) : nullptr;
    if (whole)
        lo_bundle_add_message(whole, path, built);
    std::size_t size = 0;
    void *bytes = whole ? lo_bundle_serialise(whole, nullptr, &size) : lo_message_serialise(built, path, nullptr, &size);
    const QByteArray out(static_cast<const char *>(bytes), int(size));
    std::free(bytes);
    whole ? lo_bundle_free_recursive(whole) : lo_message_free(built);
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
        QStringList received;
        QElapsedTimer waited;
        waited.start();
        while (received.size() < count && waited.elapsed() < ms) {
            if (!socket.waitForReadyRead(20))
                QTest::qWait(1);
            while (socket.hasPendingDatagrams()) {
                QByteArray bytes(int(socket.pendingDatagramSize()), '\0');
                socket.readDatagram(bytes.data(), bytes.size());
                int result = 0;
                lo_message reply = lo_message_deserialise(bytes.data(), std::size_t(bytes.size()), &result);
                QStringList line{QString::fromUtf8(bytes.constData())};
                for (int i = 0; reply && i < lo_message_get_argc(reply); ++i) {
                    // liblo aligns arguments to 4 bytes only, less than lo_arg asks for.
                    const char *arg = reinterpret_cast<const char *>(lo_message_get_argv(reply)[i]);
                    std::int32_t number = 0;
                    std::memcpy(&number, arg, sizeof number);
                    line << (lo_message_get_types(reply)[i] == LO_INT32 ? QString::number(number) : QString::fromUtf8(arg));
                }
                received << (reply ? line.join(' ') : QStringLiteral("undecodable"));
                if (reply)
                    lo_message_free(reply);
            }
        }
        return received;
    }

private:
    quint16 to;
    QUdpSocket socket;
};

} // namespace osc
