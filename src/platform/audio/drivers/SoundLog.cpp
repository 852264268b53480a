#include "platform/audio/drivers/SoundLog.h"

#include "platform/audio/realtime/ThreadRoles.h"

#include <fluidsynth.h>
#include <glib.h>

#ifdef __linux__
#include <alsa/asoundlib.h>
#endif

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

thread_local int tlsQuiet = 0;

void fluidLog(int level, const char *message, void *data)
{
    static_cast<SoundLog *>(data)->add(level, message ? message : "");
}

#ifdef __linux__
void alsaLog(const char *file, int line, const char *function, int err, const char *fmt, ...)
{
    Q_UNUSED(file);
    Q_UNUSED(line);
    Q_UNUSED(function);
    Q_UNUSED(err);
    char text[SoundLog::kMaxLength + 1];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    // ALSA's library complains while drivers are probed; these are details
    // for the log, not errors for the user.
    SoundLog::QuietScope quiet;
    SoundLog::install().add(FLUID_WARN, text);
}
#endif

// libinstpatch (FluidSynth's reader of DLS files, tried on every font
// FluidSynth's own reader refuses) complains through GLib without a log
// domain of its own. Its complaints about a broken font are details for
// the log; the user gets our one message.
void glibLog(const gchar *domain, GLogLevelFlags level, const gchar *message, gpointer data)
{
    Q_UNUSED(domain);
    const int ours = (level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) ? FLUID_WARN : FLUID_INFO;
    SoundLog::QuietScope quiet;
    static_cast<SoundLog *>(data)->add(ours, message ? message : "");
}

const char *levelName(int level)
{
    switch (level) {
    case FLUID_PANIC: return "panic";
    case FLUID_ERR: return "error";
    case FLUID_WARN: return "warning";
    case FLUID_INFO: return "info";
    default: return "debug";
    }
}

}  // namespace

SoundLog &SoundLog::install()
{
    // The hooks of the C libraries are global; so is their collector.
    static SoundLog *log = [] {
        auto *l = new SoundLog;
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, fluidLog, l);
#ifdef __linux__
        snd_lib_error_set_handler(alsaLog);
#endif
        g_log_set_handler(nullptr,
                          GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE
                                         | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG),
                          glibLog, l);
        return l;
    }();
    return *log;
}

SoundLog::QuietScope::QuietScope()
{
    ++tlsQuiet;
}

SoundLog::QuietScope::~QuietScope()
{
    --tlsQuiet;
}

void SoundLog::add(int level, const char *text)
{
    if (level >= FLUID_DBG)
        return;
    // The audio thread may not wait: its message is dropped when another
    // thread is adding one.
    const bool audio = ThreadRoles::onAudioThread();
    std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
    if (audio) {
        if (!lock.try_lock())
            return;
    } else {
        lock.lock();
    }
    Entry &e = entries_[next_];
    e.level = level;
    std::strncpy(e.text, text, kMaxLength);
    e.text[kMaxLength] = '\0';
    next_ = (next_ + 1) % kMaxEntries;
    count_ = qMin(count_ + 1, kMaxEntries);
    lock.unlock();

    if (level <= FLUID_ERR && !audio && tlsQuiet == 0)
        emit errorLogged(QString::fromLocal8Bit(text).trimmed());
}

QStringList SoundLog::messages() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    QStringList list;
    const int first = (next_ - count_ + kMaxEntries) % kMaxEntries;
    for (int i = 0; i < count_; ++i) {
        const Entry &e = entries_[(first + i) % kMaxEntries];
        list << QStringLiteral("%1: %2").arg(QLatin1String(levelName(e.level)),
                                            QString::fromLocal8Bit(e.text).trimmed());
    }
    return list;
}

