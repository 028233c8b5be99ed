#include "vlc_ledger.h"

#include <QDeadlineTimer>
#include <QHash>

#include <mutex>
#include <utility>

#include <vlc/vlc.h>

namespace {

std::mutex lock;
vlc_ledger account;
QHash<libvlc_media_t *, QString> media_paths;

} // namespace

vlc_ledger vlc_ledger::now()
{
    std::lock_guard<std::mutex> guard(lock);
    return account;
}

QString vlc_ledger::left_over() const
{
    QStringList left;
    for (const auto &[count, what] : {std::pair<int, const char *>{live.size(), "media players"},
                                      {bad_releases, "bad releases"}, {listeners, "listeners"}, {media, "media"}})
        if (count)
            left << QStringLiteral("%1 %2").arg(count).arg(QLatin1String(what));
    return left.join(QStringLiteral(", "));
}

void vlc_ledger::fail_instance()
{
    std::lock_guard<std::mutex> guard(lock);
    account.fail_next_instance = true;
}

extern "C" {

libvlc_instance_t *__real_libvlc_new(int argc, const char *const *argv);
libvlc_media_t *__real_libvlc_media_new_path(libvlc_instance_t *instance, const char *path);
void __real_libvlc_media_release(libvlc_media_t *media);
libvlc_media_player_t *__real_libvlc_media_player_new_from_media(libvlc_media_t *media);
void __real_libvlc_media_player_release(libvlc_media_player_t *player);
int __real_libvlc_media_player_play(libvlc_media_player_t *player);
void __real_libvlc_media_player_set_media(libvlc_media_player_t *player, libvlc_media_t *media);
int __real_libvlc_event_attach(libvlc_event_manager_t *events, libvlc_event_type_t type,
                               libvlc_callback_t callback, void *data);
void __real_libvlc_event_detach(libvlc_event_manager_t *events, libvlc_event_type_t type,
                                libvlc_callback_t callback, void *data);

libvlc_instance_t *__wrap_libvlc_new(int argc, const char *const *argv)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        account.instances << QStringList();
        for (int i = 0; i < argc; ++i)
            account.instances.last() << QString::fromUtf8(argv[i]);
        if (std::exchange(account.fail_next_instance, false))
            return nullptr;
    }
    return __real_libvlc_new(argc, argv);
}

libvlc_media_t *__wrap_libvlc_media_new_path(libvlc_instance_t *instance, const char *path)
{
    libvlc_media_t *media = __real_libvlc_media_new_path(instance, path);
    std::lock_guard<std::mutex> guard(lock);
    account.media += media != nullptr;
    media_paths.insert(media, QString::fromUtf8(path));
    return media;
}

void __wrap_libvlc_media_release(libvlc_media_t *media)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        account.media -= media != nullptr;
    }
    __real_libvlc_media_release(media);
}

libvlc_media_player_t *__wrap_libvlc_media_player_new_from_media(libvlc_media_t *media)
{
    libvlc_media_player_t *player = __real_libvlc_media_player_new_from_media(media);
    std::lock_guard<std::mutex> guard(lock);
    if (player) {
        account.players << player;
        account.player_media << media_paths.value(media);
        account.live.insert(player);
    }
    return player;
}

void __wrap_libvlc_media_player_release(libvlc_media_player_t *player)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        account.bad_releases += !account.live.remove(player);
    }
    __real_libvlc_media_player_release(player);
}

int __wrap_libvlc_media_player_play(libvlc_media_player_t *player)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        account.play_calls << QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
    }
    return __real_libvlc_media_player_play(player);
}

void __wrap_libvlc_media_player_set_media(libvlc_media_player_t *player, libvlc_media_t *media)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        const int made = account.players.lastIndexOf(player);
        if (made >= 0)
            account.player_media[made] = media_paths.value(media);
    }
    __real_libvlc_media_player_set_media(player, media);
}

int __wrap_libvlc_event_attach(libvlc_event_manager_t *events, libvlc_event_type_t type,
                               libvlc_callback_t callback, void *data)
{
    const int result = __real_libvlc_event_attach(events, type, callback, data);
    std::lock_guard<std::mutex> guard(lock);
    account.listeners += result == 0;
    return result;
}

void __wrap_libvlc_event_detach(libvlc_event_manager_t *events, libvlc_event_type_t type,
                                libvlc_callback_t callback, void *data)
{
    __real_libvlc_event_detach(events, type, callback, data);
    std::lock_guard<std::mutex> guard(lock);
    --account.listeners;
}

} // extern "C"
