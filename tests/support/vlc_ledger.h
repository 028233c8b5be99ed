#pragma once

#include <QStringList>
#include <QVector>

struct libvlc_media_player_t;
struct libvlc_media_t;

// An account of what the code under test does with libvlc. The test binary
// is linked with --wrap for the calls below, so each call the video surface
// makes passes through the ledger on its way to the real libvlc.
namespace ledger {

struct player_record
{
    libvlc_media_player_t *player;
    QString media_path; // the path the player's media was made from
};

// Every media player created, in order, previews included.
QVector<player_record> created_players();
bool is_live(libvlc_media_player_t *player);
int live_players();
// Media made by the code under test and not yet released by it.
int live_media();
// Releases of a player that was already released, or never made.
int released_twice_or_unknown();
// Event listeners attached and not yet detached.
int live_listeners();

// Arguments of every libvlc_new call, successful or not.
QVector<QStringList> instance_requests();
// Makes the next libvlc_new call fail without reaching libvlc.
void fail_next_instance();

} // namespace ledger
