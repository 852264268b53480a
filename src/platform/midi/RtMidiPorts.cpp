#include "platform/midi/RtMidiPorts.h"

#include "platform/audio/drivers/SoundLog.h"

#include <rtmidi/RtMidi.h>

#ifdef __linux__
#include <alsa/asoundlib.h>
#endif

#include <string>

// One RtMidi output client and the last error it reported.
struct RtMidiPorts::Client {
    std::unique_ptr<RtMidiOut> out;
    std::string error;
    bool failed = false;

    static void onError(RtMidiError::Type type, const std::string &text, void *user)
    {
        auto *c = static_cast<Client *>(user);
        // Warnings (an unknown port name, a refused message) count too: the
        // caller asked for something that did not happen.
        Q_UNUSED(type);
        c->error = text;
        c->failed = true;
    }
    void clearError()
    {
        error.clear();
        failed = false;
    }
    QString errorText() const { return QString::fromStdString(error).trimmed(); }
};

RtMidiPorts::RtMidiPorts()
{
    SoundLog::install();  // ALSA's own complaints go to the log, not the terminal
}

RtMidiPorts::~RtMidiPorts() = default;

namespace {

// RtMidi prints to the terminal before it throws for a missing sequencer, so
// the sequencer is asked first.
bool sequencerPresent(QString *error)
{
#ifdef __linux__
    snd_seq_t *seq = nullptr;
    const int result = snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0);
    if (result < 0) {
        if (error)
            *error = QStringLiteral("ALSA 音序器不可用：%1").arg(QString::fromLocal8Bit(snd_strerror(result)));
        return false;
    }
    snd_seq_close(seq);
#else
    Q_UNUSED(error);
#endif
    return true;
}

}  // namespace

std::unique_ptr<RtMidiPorts::Client> RtMidiPorts::newClient(QString *error)
{
    if (!sequencerPresent(error))
        return nullptr;
    auto client = std::make_unique<Client>();
    try {
        client->out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "Quorvane");
    } catch (const RtMidiError &e) {
        if (error)
            *error = QString::fromStdString(e.getMessage()).trimmed();
        return nullptr;
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        return nullptr;
    }
    client->out->setErrorCallback(&Client::onError, client.get());
    return client;
}

RtMidiPorts::Client *RtMidiPorts::lister()
{
    // Tried again each time while missing: a sequencer may be loaded later.
    if (!lister_)
        lister_ = newClient(nullptr);
    return lister_.get();
}

bool RtMidiPorts::hasSequencer()
{
    return lister() != nullptr;
}

int RtMidiPorts::count()
{
    Client *c = lister();
    if (!c)
        return 0;
    c->clearError();
    return int(c->out->getPortCount());
}

QString RtMidiPorts::name(int index)
{
    Client *c = lister();
    if (!c || index < 0)
        return QString();
    c->clearError();
    const std::string name = c->out->getPortName(unsigned(index));
    return c->failed ? QString() : QString::fromStdString(name);
}

int RtMidiPorts::open(int index, QString *error)
{
    std::unique_ptr<Client> client = newClient(error);
    if (!client)
        return 0;
    try {
        client->out->openPort(unsigned(index), "Quorvane 输出");
    } catch (const RtMidiError &e) {
        client->failed = true;
        client->error = e.getMessage();
    }
    if (client->failed || !client->out->isPortOpen()) {
        if (error)
            *error = client->errorText();
        return 0;
    }
    const int connection = nextConnection_++;
    open_[connection] = std::move(client);
    return connection;
}

void RtMidiPorts::close(int connection)
{
    auto it = open_.find(connection);
    if (it == open_.end())
        return;
    it->second->out->closePort();
    open_.erase(it);
}

bool RtMidiPorts::send(int connection, const unsigned char *bytes, int length, QString *error)
{
    auto it = open_.find(connection);
    if (it == open_.end()) {
        if (error)
            error->clear();
        return false;
    }
    Client &c = *it->second;
    c.clearError();
    try {
        c.out->sendMessage(bytes, std::size_t(length));
    } catch (const RtMidiError &e) {
        c.failed = true;
        c.error = e.getMessage();
    }
    if (c.failed && error)
        *error = c.errorText();
    return !c.failed;
}
