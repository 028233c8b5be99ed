#pragma once

#include <QLoggingCategory>

struct libvlc_instance_t;

// libvlc's own messages. Only its errors show by default; the rest (decoder
// and output chatter that an operator can do nothing about) appears with
// QT_LOGGING_RULES="vantrel.video=true".
Q_DECLARE_LOGGING_CATEGORY(video_log)

// Hands every message of the instance to video_log instead of stderr.
void route_vlc_log(libvlc_instance_t *instance);
