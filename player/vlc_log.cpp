#include "vlc_log.h"

#include <QByteArray>

#include <cstdarg>
#include <cstdio>

#include <vlc/vlc.h>

Q_LOGGING_CATEGORY(video_log, "vantrel.video", QtWarningMsg)

namespace {

// Called on libvlc's threads, possibly several at once; Qt's logging is
// thread-safe and nothing else is touched.
void log_message(void *, int level, const libvlc_log_t *context, const char *format, va_list arguments)
{
    va_list measure;
    va_copy(measure, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0)
        return;
    QByteArray text(length, '\0');
    std::vsnprintf(text.data(), size_t(length) + 1, format, arguments);

    const char *module = nullptr;
    const char *file = nullptr;
    unsigned line = 0;
    libvlc_log_get_context(context, &module, &file, &line);
    if (module)
        text.prepend(QByteArray(module) + ": ");

    const QString message = QString::fromUtf8(text);
    switch (level) {
    case LIBVLC_ERROR:
        qCWarning(video_log).noquote() << message;
        break;
    case LIBVLC_WARNING:
    case LIBVLC_NOTICE:
        qCInfo(video_log).noquote() << message;
        break;
    default:
        qCDebug(video_log).noquote() << message;
        break;
    }
}

} // namespace

void route_vlc_log(libvlc_instance_t *instance)
{
    libvlc_log_set(instance, log_message, nullptr);
}
