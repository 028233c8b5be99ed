#pragma once

#include <QHostAddress>
#include <QLoggingCategory>
#include <QObject>
#include <QStringList>
#include <QVariantList>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class QUdpSocket;

Q_DECLARE_LOGGING_CATEGORY(remote_log)

// Commands from a show's cue system over OSC (UDP), and the replies and
// state changes going back. OSC has no authentication: whoever reaches the
// port commands the program, hence loopback unless the operator says
// otherwise.
namespace remote {

using wall_clock = std::chrono::system_clock;

struct peer {
    QHostAddress host;
    quint16 port = 0;
    bool operator==(const peer &other) const { return host == other.host && port == other.port; }
};

// One OSC message as it came. Arguments: i as int, h as qlonglong, f and d
// as double, s and S as QString, t as double seconds since the Unix epoch.
struct command {
    QString address;
    QString types;
    QVariantList args;
    peer sender;
    // The time tag of the bundle that carried it, unless "immediately".
    std::optional<wall_clock::time_point> at;
};

// What a command handler answers: empty when done, else why not.
using handler = std::function<QString(const command &)>;

// `run`, followed by `then` for the sender when it is done.
inline handler answered(handler run, std::function<void(const peer &)> then)
{
    return [run, then](const command &done) {
        const QString why = run(done);
        if (why.isEmpty())
            then(done.sender);
        return why;
    };
}

// An OSC server on a UDP socket served by the thread's event loop. liblo
// decodes every packet (messages, bundles, their time tags) and encodes the
// replies; the socket is this class's own, as liblo binds every address
// and the default here is the loopback one alone.
class osc_endpoint : public QObject
{
    Q_OBJECT

public:
    // `prefix`: the program's address space, "/pulsetra" or "/skeel";
    // refusals go back as prefix + "/error".
    explicit osc_endpoint(const QString &prefix, QObject *parent = nullptr);
    ~osc_endpoint() override;

    // Empty when listening, else why not.
    QString listen(const QHostAddress &address, quint16 port);
    quint16 port() const;

    // `name` under the prefix, with the argument types it accepts ("" for
    // none). A command in a bundle whose time lies ahead waits for it,
    // unless `timed`: its handler then takes the bundle's time itself.
    void add(const QString &name, const QStringList &types, handler run, bool timed = false);

    void reply(const peer &to, const QString &name, const QVariantList &args);
    // Returns whether `who` is listed (the list has room for a few).
    bool subscribe(const peer &who);
    // To every subscriber.
    void notify(const QString &name, const QVariantList &args);

    // One datagram as the socket gives it.
    void receive(QByteArray packet, const peer &sender);

    // Largest packet taken: far more than any command needs.
    static constexpr int largest_packet = 8192;

private:
    struct entry {
        QStringList types;
        handler run;
        bool timed;
    };
    friend struct endpoint_decoding;
    void run(const command &done);
    void refuse(const peer &to, const QString &address, const QString &reason);
    QByteArray encode(const QString &name, const QVariantList &args) const;

    const QString prefix;
    QUdpSocket *socket;
    void *decoder;
    std::map<QString, entry> table;
    std::vector<peer> subscribers;
    // Filled while liblo takes a packet apart; run only when all of it is sound.
    std::vector<command> decoded;
    peer decoding_from;
    int waiting = 0;
};

} // namespace remote
