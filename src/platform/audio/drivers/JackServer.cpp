#include "platform/audio/drivers/JackServer.h"

#include "platform/audio/drivers/SoundLog.h"

#include <jack/jack.h>

#include <QFileInfo>
#include <QString>

#include <unistd.h>

namespace {

thread_local int lookingForServer = 0;

void jackError(const char *text)
{
    if (lookingForServer > 0)
        return;
    constexpr int kWarning = 2;  // the log's levels are FluidSynth's
    SoundLog::QuietScope quiet;
    SoundLog::install().add(kWarning, text);
}
void jackInfo(const char *) { }

}  // namespace

bool jackServerSocketPresent()
{
    QString server = qEnvironmentVariable("JACK_DEFAULT_SERVER");
    if (server.isEmpty())
        server = QStringLiteral("default");
    const QString name = qEnvironmentVariableIsSet("JACK_PROMISCUOUS_SERVER")
                             ? QStringLiteral("/dev/shm/jack_%1_0").arg(server)
                             : QStringLiteral("/dev/shm/jack_%1_%2_0").arg(server).arg(getuid());
    return QFileInfo::exists(name);
}

void routeJackMessagesToLog()
{
    SoundLog::install();
    jack_set_error_function(&jackError);
    jack_set_info_function(&jackInfo);
}

JackLookingForServer::JackLookingForServer() { ++lookingForServer; }
JackLookingForServer::~JackLookingForServer() { --lookingForServer; }
