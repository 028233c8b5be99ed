#include "vlc_ledger.h"

#include <QHash>
#include <QSet>

#include <mutex>

#include <vlc/vlc.h>

namespace {

// Listeners change on libvlc's threads too.
std::mutex lock;
QVector<ledger::player_record> players;
QSet<libvlc_media_player_t *> live;
QHash<libvlc_media_t *, QString> media_paths;
int media_count = 0;
int listener_count = 0;
int bad_releases = 0;
QVector<QStringList> requests;
bool fail_instance = false;

} // namespace

extern "C" {

libvlc_instance_t *__real_libvlc_new(int argc, const char *const *argv);
libvlc_media_t *__real_libvlc_media_new_path(libvlc_instance_t *instance, const char *path);
void __real_libvlc_media_release(libvlc_media_t *media);
libvlc_media_player_t *__real_libvlc_media_player_new_from_media(libvlc_media_t *media);
void __real_libvlc_media_player_release(libvlc_media_player_t *player);
int __real_libvlc_event_attach(libvlc_event_manager_t *events, libvlc_event_type_t type,
                               libvlc_callback_t callback, void *data);
void __real_libvlc_event_detach(libvlc_event_manager_t *events, libvlc_event_type_t type,
                                libvlc_callback_t callback, void *data);

libvlc_instance_t *__wrap_libvlc_new(int argc, const char *const *argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromUtf8(argv[i]);
    {
        std::lock_guard<std::mutex> guard(lock);
        requests << arguments;
        if (fail_instance) {
            fail_instance = false;
            return nullptr;
        }
    }
    return __real_libvlc_new(argc, argv);
}

libvlc_media_t *__wrap_libvlc_media_new_path(libvlc_instance_t *instance, const char *path)
{
    libvlc_media_t *media = __real_libvlc_media_new_path(instance, path);
    std::lock_guard<std::mutex> guard(lock);
    if (media) {
        ++media_count;
        media_paths.insert(media, QString::fromUtf8(path));
    }
    return media;
}

void __wrap_libvlc_media_release(libvlc_media_t *media)
{
    if (media) {
        std::lock_guard<std::mutex> guard(lock);
        --media_count;
    }
    __real_libvlc_media_release(media);
}

libvlc_media_player_t *__wrap_libvlc_media_player_new_from_media(libvlc_media_t *media)
{
    libvlc_media_player_t *player = __real_libvlc_media_player_new_from_media(media);
    std::lock_guard<std::mutex> guard(lock);
    if (player) {
        players << ledger::player_record{player, media_paths.value(media)};
        live.insert(player);
    }
    return player;
}

void __wrap_libvlc_media_player_release(libvlc_media_player_t *player)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!live.remove(player))
            ++bad_releases;
    }
    __real_libvlc_media_player_release(player);
}

int __wrap_libvlc_event_attach(libvlc_event_manager_t *events, libvlc_event_type_t type,
                               libvlc_callback_t callback, void *data)
{
    const int result = __real_libvlc_event_attach(events, type, callback, data);
    std::lock_guard<std::mutex> guard(lock);
    if (result == 0)
        ++listener_count;
    return result;
}

void __wrap_libvlc_event_detach(libvlc_event_manager_t *events, libvlc_event_type_t type,
                                libvlc_callback_t callback, void *data)
{
    __real_libvlc_event_detach(events, type, callback, data);
    std::lock_guard<std::mutex> guard(lock);
    --listener_count;
}

} // extern "C"

namespace ledger {

QVector<player_record> created_players()
{
    std::lock_guard<std::mutex> guard(lock);
    return players;
}

bool is_live(libvlc_media_player_t *player)
{
    std::lock_guard<std::mutex> guard(lock);
    return live.contains(player);
}

int live_players()
{
    std::lock_guard<std::mutex> guard(lock);
    return live.size();
}

int live_media()
{
    std::lock_guard<std::mutex> guard(lock);
    return media_count;
}

int live_listeners()
{
    std::lock_guard<std::mutex> guard(lock);
    return listener_count;
}

int released_twice_or_unknown()
{
    std::lock_guard<std::mutex> guard(lock);
    return bad_releases;
}

QVector<QStringList> instance_requests()
{
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

void fail_next_instance()
{
    std::lock_guard<std::mutex> guard(lock);
    fail_instance = true;
}

} // namespace ledger
