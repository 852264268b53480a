#include "platform/midi/JackMidiInputs.h"

#include "platform/audio/drivers/JackServer.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

namespace {

// Whether the clients of one server may still be called into. Set by the
// shutdown callback of any of them.
struct Life {
    std::atomic<bool> gone{false};
};

// What a client's callbacks read, on JACK's threads.
struct ClientState {
    std::shared_ptr<Life> life;
    jack_port_t *port = nullptr;
    std::atomic<MidiInputReceiver *> receiver{nullptr};
    std::atomic<bool> inProcess{false};
};

// States of clients whose server went away. Their callbacks may still be
// called by a library thread that outlived the server, so they are never
// freed; listed here so that they stay reachable (a leak checker would
// otherwise report them at exit). Touched only on the owner thread.
std::vector<std::unique_ptr<ClientState>> &abandonedStates()
{
    static auto *states = new std::vector<std::unique_ptr<ClientState>>;
    return *states;
}

void onShutdown(void *arg) { static_cast<ClientState *>(arg)->life->gone.store(true); }

int process(jack_nframes_t frames, void *arg)
{
    auto *s = static_cast<ClientState *>(arg);
    // Dekker-style with Client::~Client: either it sees us inside, or we
    // see the receiver gone.
    s->inProcess.store(true);
    if (MidiInputReceiver *receiver = s->receiver.load()) {
        void *buffer = jack_port_get_buffer(s->port, frames);
        const jack_nframes_t count = jack_midi_get_event_count(buffer);
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            // Each event as it came: an unfinished SysEx ends at the next
            // status byte in the receiver's parser, not here.
            if (jack_midi_event_get(&event, buffer, i) == 0 && event.size > 0)
                receiver->receive(event.buffer, event.size);
        }
    }
    s->inProcess.store(false);
    return 0;
}

// One client of ours. Closed when it goes, unless its server is gone: then
// the client and its state stay behind untouched (a few bytes; the
// library's thread of it has ended with the server).
class Client {
public:
    static std::unique_ptr<Client> open(const QString &name, std::shared_ptr<Life> life)
    {
        const QByteArray n = name.toUtf8();
        jack_client_t *handle = jack_client_open(n.constData(), JackNoStartServer, nullptr);
        if (!handle)
            return nullptr;
        auto client = std::unique_ptr<Client>(new Client(handle, std::move(life)));
        jack_on_shutdown(handle, &onShutdown, client->state_.get());
        return client;
    }
    ~Client()
    {
        state_->receiver.store(nullptr);
        if (state_->life->gone.load()) {
            // A cycle that began before the server went may still be delivering.
            while (state_->inProcess.load())
                std::this_thread::yield();
            abandonedStates().push_back(std::move(state_));  // its shutdown callback may still come
            return;
        }
        jack_client_close(handle_);
    }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    jack_client_t *handle() const { return handle_; }
    ClientState &state() const { return *state_; }
    bool gone() const { return state_->life->gone.load(); }

private:
    Client(jack_client_t *handle, std::shared_ptr<Life> life) : handle_(handle), state_(std::make_unique<ClientState>())
    {
        state_->life = std::move(life);
    }
    jack_client_t *handle_;
    std::unique_ptr<ClientState> state_;
};

QString clientOf(const QString &portName) { return portName.section(QLatin1Char(':'), 0, 0); }

}  // namespace

// The client that lists the ports and watches the server.
struct JackMidiInputs::Server {
    std::unique_ptr<Client> lister;
};

struct JackMidiInputs::Reader {
    QString source;
    std::unique_ptr<Client> client;
};

JackMidiInputs::JackMidiInputs(const QString &clientName) : clientName_(clientName)
{
    routeJackMessagesToLog();
}

JackMidiInputs::~JackMidiInputs()
{
    readers_.clear();
    server_.reset();
}

bool JackMidiInputs::running()
{
    if (server_ && server_->lister->gone())
        server_.reset();
    if (server_)
        return true;
    // Servers without jackd's socket (PipeWire's) are asked for now and then.
    const bool askAnyway = asked_++ % kAskEvery == kAskEvery - 1;
    if (!askAnyway && !jackServerSocketPresent())
        return false;
    // Never starts a server: without one there are simply no JACK ports.
    std::unique_ptr<Client> lister;
    {
        JackLookingForServer looking;
        lister = Client::open(clientName_ + QStringLiteral("-list"), std::make_shared<Life>());
    }
    if (!lister)
        return false;
    jack_activate(lister->handle());
    server_ = std::make_unique<Server>();
    server_->lister = std::move(lister);
    return true;
}

QStringList JackMidiInputs::outputs()
{
    QStringList list;
    if (!running())
        return list;
    if (const char **names = jack_get_ports(server_->lister->handle(), nullptr, JACK_DEFAULT_MIDI_TYPE,
                                            JackPortIsOutput)) {
        for (const char **n = names; *n; ++n) {
            const QString name = QString::fromUtf8(*n);
            if (!clientOf(name).startsWith(clientName_))
                list << name;
        }
        jack_free(names);
    }
    return list;
}

int JackMidiInputs::open(const QString &port, MidiInputReceiver &receiver, QString *error)
{
    if (!running()) {
        *error = QStringLiteral("JACK 服务器没有运行");
        return 0;
    }
    const QByteArray source = port.toUtf8();
    if (!jack_port_by_name(server_->lister->handle(), source.constData())) {
        *error = QStringLiteral("MIDI输入“%1”已不存在").arg(port);
        return 0;
    }
    auto reader = std::make_unique<Reader>();
    reader->source = port;
    reader->client = Client::open(readerPrefix(), server_->lister->state().life);
    if (!reader->client) {
        *error = QStringLiteral("JACK 服务器不接受新的客户端");
        return 0;
    }
    jack_client_t *client = reader->client->handle();
    ClientState &state = reader->client->state();
    state.port = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (!state.port) {
        *error = QStringLiteral("无法建立JACK MIDI输入端口");
        return 0;
    }
    state.receiver.store(&receiver);
    jack_set_process_callback(client, &process, &state);
    if (jack_activate(client) != 0) {
        *error = QStringLiteral("无法启动JACK客户端");
        return 0;
    }
    const int connected = jack_connect(client, source.constData(), jack_port_name(state.port));
    if (connected != 0 && connected != EEXIST) {
        *error = QStringLiteral("无法连接MIDI输入“%1”").arg(port);
        return 0;
    }
    const int connection = nextConnection_++;
    readers_[connection] = std::move(reader);
    return connection;
}

void JackMidiInputs::close(int connection) { readers_.erase(connection); }

bool JackMidiInputs::isAlive(int connection)
{
    auto it = readers_.find(connection);
    if (it == readers_.end() || it->second->client->gone() || !running())
        return false;
    // A port that went away took our connection with it; one of the same
    // name that came back has nobody reading it.
    const Client &client = *it->second->client;
    return jack_port_connected_to(client.state().port, it->second->source.toUtf8().constData()) != 0;
}
