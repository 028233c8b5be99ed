#pragma once

#include <QSet>
#include <QStringList>
#include <QVector>

struct libvlc_media_player_t;

// An account of what the code under test does with libvlc. The test binary
// is linked with --wrap for the calls that make and release instances,
// media, media players and listeners, and for a player's change of media, so
// each passes through the ledger on its way to the real libvlc.
struct vlc_ledger {
    QVector<libvlc_media_player_t *> players; // every player made, previews included
    QStringList player_media;                 // the path of each one's media, as last given
    QSet<libvlc_media_player_t *> live;
    int media = 0;        // made and not yet released
    int listeners = 0;    // attached and not yet detached
    int bad_releases = 0; // of a player released before, or never made
    QVector<QStringList> instances; // the arguments of every libvlc_new
    // When each play call was made, on the monotonic clock that
    // QDeadlineTimer reads (ns).
    QVector<qint64> play_calls;
    bool fail_next_instance = false; // without reaching libvlc

    // What was made and not released, or released wrongly; empty when
    // nothing is left over.
    QString left_over() const;

    // A copy, taken under the lock: libvlc's threads change the account too.
    static vlc_ledger now();
    static void fail_instance();
};
