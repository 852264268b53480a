#include "platform/midi/RtMidiInputs.h"

#include "platform/audio/drivers/SoundLog.h"

#include <rtmidi/RtMidi.h>

#ifdef __linux__
#include <alsa/asoundlib.h>
#endif

#include <QRegularExpression>

#include <string>

namespace {

// RtMidi reports through its error callback; without one it prints.
void keepError(RtMidiError::Type, const std::string &text, void *user) { *static_cast<std::string *>(user) = text; }

void deliver(double, std::vector<unsigned char> *message, void *user)
{
    if (message && !message->empty())
        static_cast<MidiInputReceiver *>(user)->receive(message->data(), message->size());
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

// One opened port: its own RtMidi client (ALSA), or a reader of JACK's.
struct RtMidiInputs::Open {
    QString name;  // as listed
    std::unique_ptr<RtMidiIn> in;
    int jack = 0;
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

RtMidiInputs::RtMidiInputs(const QString &clientName)
    : clientName_(clientName),
      listJack_(std::make_unique<JackMidiInputs>(clientName)),
      jack_(std::make_unique<JackMidiInputs>(clientName))
{
    SoundLog::install();  // ALSA's complaints go to the log
}

RtMidiInputs::~RtMidiInputs()
{
    open_.clear();  // their threads end before the sequencer client goes
    // A listing still stuck in a server (its thread left behind at the
    // program's end) keeps its clients: freeing them under it would crash.
    if (listing_.load()) {
        (void)alsa_.release();
        (void)listJack_.release();
    }
}

QVector<MidiInputPort> RtMidiInputs::ports()
{
    struct Listing {
        std::atomic<bool> &flag;
        explicit Listing(std::atomic<bool> &f) : flag(f) { flag.store(true); }
        ~Listing() { flag.store(false); }
    } listing(listing_);
    QVector<MidiInputPort> list;
    const auto ours = [this](const QString &name) { return clientOf(name).startsWith(clientName_); };

    // Tried again at every listing while missing: a sequencer may be loaded later.
    if (!alsa_ && sequencerPresent()) {
        auto lister = std::make_unique<Lister>();
        lister->in = newInput(RtMidi::LINUX_ALSA, clientName_, &lister->error);
        if (lister->in) {
            alsa_ = std::move(lister);
            sequencerSeen_.store(true);
        }
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

    for (const QString &name : listJack_->outputs()) {
        // The machine's own MIDI devices bridged into JACK come through the
        // sequencer already.
        const QString client = clientOf(name);
        const bool bridge = client == QStringLiteral("system") || client == QStringLiteral("a2j")
                            || client == QStringLiteral("Midi-Bridge");
        list.append({jackPrefix() + name, client, !(bridge && alsa_)});
    }
    return list;
}

int RtMidiInputs::open(const QString &name, MidiInputReceiver &receiver, QString *error)
{
    auto port = std::make_unique<Open>();
    port->name = name;
    if (name.startsWith(jackPrefix())) {
        port->jack = jack_->open(name.mid(jackPrefix().size()), receiver, error);
        if (port->jack == 0)
            return 0;
    } else {
        if (!sequencerSeen_.load()) {
            *error = QStringLiteral("ALSA 音序器不可用");
            return 0;
        }
        port->in = newInput(RtMidi::LINUX_ALSA, readerPrefix(), &port->error);
        if (!port->in) {
            *error = QString::fromStdString(port->error).trimmed();
            return 0;
        }
        const int index = indexOf(*port->in, name.toStdString());
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
    // Closing joins the port's thread (ALSA) or ends its client (JACK): no
    // delivery follows.
    if (it->second->in)
        it->second->in->closePort();
    else
        jack_->close(it->second->jack);
    open_.erase(it);
}

bool RtMidiInputs::isAlive(int connection)
{
    auto it = open_.find(connection);
    if (it == open_.end())
        return false;
    return it->second->in ? alsaFeedsUs(it->second->name) : jack_->isAlive(it->second->jack);
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
            && QString::fromUtf8(snd_seq_client_info_get_name(info)).startsWith(readerPrefix()))
            return true;
    }
#else
    Q_UNUSED(portName);
    return true;
#endif
}
