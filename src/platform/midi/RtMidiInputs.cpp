#include "platform/midi/RtMidiInputs.h"

#include "platform/audio/SoundLog.h"

#include <rtmidi/RtMidi.h>

#include <jack/jack.h>

#ifdef __linux__
#include <alsa/asoundlib.h>
#endif

#include <QFileInfo>
#include <QRegularExpression>

#include <unistd.h>

#include <string>

namespace {

// RtMidi reports through its error callback; without one it prints.
void keepError(RtMidiError::Type, const std::string &text, void *user) { *static_cast<std::string *>(user) = text; }

void deliver(double, std::vector<unsigned char> *message, void *user)
{
    if (message && !message->empty())
        static_cast<MidiInputReceiver *>(user)->receive(message->data(), message->size());
}

// Set while we look for a server, which mostly is not there.
thread_local bool lookingForJack = false;

// JACK's library prints to the terminal unless told otherwise. What it says
// while a running server serves us goes to the log (a detail for the log,
// not an error for the user); its complaint that no server runs, every
// second, goes nowhere.
void jackError(const char *text)
{
    if (lookingForJack)
        return;
    constexpr int kWarning = 2;  // the log's levels are FluidSynth's
    SoundLog::QuietScope quiet;
    SoundLog::install().add(kWarning, text);
}
void jackInfo(const char *) { }

// jackd listens on a socket named after the server and the user. Asking
// the library when there is none costs the asking thread several
// milliseconds (here the user-interface thread, once a second).
bool jackSocketPresent()
{
    QString server = qEnvironmentVariable("JACK_DEFAULT_SERVER");
    if (server.isEmpty())
        server = QStringLiteral("default");
    const QString name = qEnvironmentVariableIsSet("JACK_PROMISCUOUS_SERVER")
                             ? QStringLiteral("/dev/shm/jack_%1_0").arg(server)
                             : QStringLiteral("/dev/shm/jack_%1_%2_0").arg(server).arg(getuid());
    return QFileInfo::exists(name);
}

// RtMidi prints before it throws for a missing sequencer, so it is asked first.
bool sequencerPresent()
{
#ifdef __linux__
    snd_seq_t *seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, 0) < 0)
        return false;
    snd_seq_close(seq);
#endif
    return true;
}

std::unique_ptr<RtMidiIn> newInput(RtMidi::Api api, const QString &client, std::string *error)
{
    try {
        auto in = std::make_unique<RtMidiIn>(api, client.toStdString());
        in->setErrorCallback(&keepError, error);
        return in;
    } catch (const RtMidiError &e) {
        *error = e.getMessage();
    } catch (const std::exception &e) {
        *error = e.what();
    }
    return nullptr;
}

// The index of a port in RtMidi's listing of `in`, -1 if it is not there.
int indexOf(RtMidiIn &in, const std::string &name)
{
    const unsigned count = in.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        if (in.getPortName(i) == name)
            return int(i);
    }
    return -1;
}

QString clientOf(const QString &portName) { return portName.section(QLatin1Char(':'), 0, 0); }

}  // namespace

// An RtMidi client kept for listing the ports of its API.
struct RtMidiInputs::Lister {
    std::unique_ptr<RtMidiIn> in;
    std::string error;
};

// One opened port: its own RtMidi client.
struct RtMidiInputs::Open {
    QString name;  // as listed
    std::unique_ptr<RtMidiIn> in;
    std::string error;
};

// A sequencer client of our own for questions RtMidi does not answer.
struct RtMidiInputs::Sequencer {
#ifdef __linux__
    snd_seq_t *seq = nullptr;
    ~Sequencer()
    {
        if (seq)
            snd_seq_close(seq);
    }
#endif
};

// A JACK client of our own that lists the ports and learns when the server
// goes away (RtMidi does not).
struct RtMidiInputs::Jack {
    jack_client_t *client = nullptr;
    std::atomic<bool> gone{false};

    static void onShutdown(void *self) { static_cast<Jack *>(self)->gone.store(true); }
    ~Jack()
    {
        if (client)
            jack_client_close(client);
    }
};

RtMidiInputs::RtMidiInputs(const QString &clientName) : clientName_(clientName)
{
    SoundLog::install();  // ALSA's complaints go to the log
    jack_set_error_function(&jackError);
    jack_set_info_function(&jackInfo);
}

RtMidiInputs::~RtMidiInputs()
{
    open_.clear();  // their threads end before the JACK client goes
}

namespace {
// Our clients that read the ports we open.
QString readerPrefix(const QString &clientName) { return clientName + QStringLiteral("-in"); }
}  // namespace

bool RtMidiInputs::jackRunning()
{
    if (jack_ && jack_->gone.load())
        jack_.reset();
    if (!jack_) {
        // Servers without jackd's socket (PipeWire's) are asked for now and then.
        const bool askAnyway = jackPolls_++ % kJackAskEvery == kJackAskEvery - 1;
        if (!askAnyway && !jackSocketPresent())
            return false;
        // Never starts a server: without one there are simply no JACK ports.
        const std::string name = (clientName_ + QStringLiteral("-list")).toStdString();
        lookingForJack = true;
        jack_client_t *client = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        lookingForJack = false;
        if (!client)
            return false;
        jack_ = std::make_unique<Jack>();
        jack_->client = client;
        jack_on_shutdown(client, &Jack::onShutdown, jack_.get());
        jack_activate(client);
    }
    return true;
}

QVector<MidiInputPort> RtMidiInputs::ports()
{
    QVector<MidiInputPort> list;
    const auto ours = [this](const QString &name) { return clientOf(name).startsWith(clientName_); };

    // Tried again at every listing while missing: a sequencer may be loaded later.
    if (!alsa_ && sequencerPresent()) {
        auto lister = std::make_unique<Lister>();
        lister->in = newInput(RtMidi::LINUX_ALSA, clientName_, &lister->error);
        if (lister->in)
            alsa_ = std::move(lister);
    }
    if (alsa_) {
        const unsigned count = alsa_->in->getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            const QString name = QString::fromStdString(alsa_->in->getPortName(i));
            if (name.isEmpty() || ours(name))
                continue;
            // The through port echoes what is sent to it, maybe by us.
            list.append({name, clientOf(name), clientOf(name) != QStringLiteral("Midi Through")});
        }
    }

    if (jackRunning()) {
        if (const char **names = jack_get_ports(jack_->client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput)) {
            for (const char **n = names; *n; ++n) {
                const QString name = QString::fromUtf8(*n);
                if (ours(name))
                    continue;
                // The machine's own MIDI devices bridged into JACK come
                // through the sequencer already.
                const QString client = clientOf(name);
                const bool bridge = client == QStringLiteral("system") || client == QStringLiteral("a2j")
                                    || client == QStringLiteral("Midi-Bridge");
                list.append({jackPrefix() + name, client, !(bridge && alsa_)});
            }
            jack_free(names);
        }
    }
    return list;
}

int RtMidiInputs::open(const QString &name, MidiInputReceiver &receiver, QString *error)
{
    const bool viaJack = name.startsWith(jackPrefix());
    if (viaJack && !jackRunning()) {
        *error = QStringLiteral("JACK 服务器没有运行");
        return 0;
    }
    if (!viaJack && !alsa_) {
        *error = QStringLiteral("ALSA 音序器不可用");
        return 0;
    }
    auto port = std::make_unique<Open>();
    port->name = name;
    port->in = newInput(viaJack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA, readerPrefix(clientName_), &port->error);
    if (!port->in) {
        *error = QString::fromStdString(port->error).trimmed();
        return 0;
    }
    const std::string wanted = (viaJack ? name.mid(jackPrefix().size()) : name).toStdString();
    const int index = indexOf(*port->in, wanted);
    if (index < 0) {
        *error = QStringLiteral("MIDI输入“%1”已不存在").arg(name);
        return 0;
    }
    port->in->setCallback(&deliver, &receiver);
    try {
        port->in->openPort(unsigned(index), "in");
    } catch (const RtMidiError &e) {
        port->error = e.getMessage();
    }
    if (!port->in->isPortOpen()) {
        *error = QString::fromStdString(port->error).trimmed();
        return 0;
    }
    const int connection = nextConnection_++;
    open_[connection] = std::move(port);
    return connection;
}

void RtMidiInputs::close(int connection)
{
    auto it = open_.find(connection);
    if (it == open_.end())
        return;
    // Closing joins the port's thread (ALSA) or closes its client (JACK):
    // no delivery follows.
    it->second->in->closePort();
    open_.erase(it);
}

bool RtMidiInputs::isAlive(int connection)
{
    auto it = open_.find(connection);
    if (it == open_.end())
        return false;
    const QString &name = it->second->name;
    return name.startsWith(jackPrefix()) ? jackFeedsUs(name.mid(jackPrefix().size())) : alsaFeedsUs(name);
}

// A port that went away took our connection with it; one of the same name
// that came back has nobody reading it.
bool RtMidiInputs::jackFeedsUs(const QString &portName)
{
    if (!jackRunning())
        return false;
    jack_port_t *port = jack_port_by_name(jack_->client, portName.toUtf8().constData());
    if (!port)
        return false;
    bool ours = false;
    if (const char **readers = jack_port_get_all_connections(jack_->client, port)) {
        for (const char **r = readers; *r && !ours; ++r)
            ours = QString::fromUtf8(*r).startsWith(readerPrefix(clientName_));
        jack_free(readers);
    }
    return ours;
}

bool RtMidiInputs::alsaFeedsUs(const QString &portName)
{
#ifdef __linux__
    // RtMidi names a port "client:port c:p"; c:p is its address.
    static const QRegularExpression address(QStringLiteral("\\s(\\d+):(\\d+)$"));
    const QRegularExpressionMatch m = address.match(portName);
    if (!m.hasMatch())
        return true;  // cannot tell: taken as alive
    if (!seq_) {
        auto seq = std::make_unique<Sequencer>();
        if (snd_seq_open(&seq->seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0)
            return true;
        seq_ = std::move(seq);
    }
    snd_seq_addr_t root;
    root.client = static_cast<unsigned char>(m.captured(1).toInt());
    root.port = static_cast<unsigned char>(m.captured(2).toInt());
    snd_seq_query_subscribe_t *subs = nullptr;
    snd_seq_query_subscribe_alloca(&subs);
    snd_seq_query_subscribe_set_root(subs, &root);
    snd_seq_query_subscribe_set_type(subs, SND_SEQ_QUERY_SUBS_READ);
    snd_seq_client_info_t *info = nullptr;
    snd_seq_client_info_alloca(&info);
    for (int i = 0;; ++i) {
        snd_seq_query_subscribe_set_index(subs, i);
        if (snd_seq_query_port_subscribers(seq_->seq, subs) < 0)
            return false;  // nobody of ours reads it (or it is gone)
        const snd_seq_addr_t *reader = snd_seq_query_subscribe_get_addr(subs);
        if (snd_seq_get_any_client_info(seq_->seq, reader->client, info) >= 0
            && QString::fromUtf8(snd_seq_client_info_get_name(info)).startsWith(readerPrefix(clientName_)))
            return true;
    }
#else
    Q_UNUSED(portName);
    return true;
#endif
}
