// A small JACK client of the tests: one MIDI output port that sends what the
// command line says, then ends.
//
//   jack_midi_send [--name CLIENT] COMMAND...
//
//   wait-connected[=S]   waits (at most S seconds, 20 by default) until
//                        someone reads the port
//   send=903C64,904064   sends the events in one process cycle; each event
//                        is its bytes in hexadecimal (any bytes: running
//                        status, pieces of a message)
//   sleep=MS             waits MS milliseconds
//   wait-disconnected[=S] waits until nobody reads the port any more
//
// Exits 0 when every command was done, 1 otherwise (no server, a timeout).

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// One event as it waits in the ring: its bytes and whether it closes a batch.
struct Event {
    unsigned char length = 0;
    unsigned char endOfBatch = 0;
    unsigned char bytes[14] = {};
};

jack_port_t *port = nullptr;
jack_ringbuffer_t *ring = nullptr;

int process(jack_nframes_t frames, void *)
{
    void *buffer = jack_port_get_buffer(port, frames);
    jack_midi_clear_buffer(buffer);
    // One batch per cycle: its events arrive together.
    Event e;
    while (jack_ringbuffer_read_space(ring) >= sizeof e) {
        jack_ringbuffer_read(ring, reinterpret_cast<char *>(&e), sizeof e);
        jack_midi_event_write(buffer, 0, e.bytes, e.length);
        if (e.endOfBatch)
            break;
    }
    return 0;
}

bool parseEvents(const std::string &text, std::vector<Event> *events)
{
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find(',', start);
        const std::string hex = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (hex.empty() || hex.size() % 2 != 0 || hex.size() / 2 > sizeof Event().bytes)
            return false;
        Event e;
        e.length = static_cast<unsigned char>(hex.size() / 2);
        for (size_t i = 0; i < e.length; ++i)
            e.bytes[i] = static_cast<unsigned char>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
        events->push_back(e);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (!events->empty())
        events->back().endOfBatch = 1;
    return !events->empty();
}

bool waitFor(bool connected, double seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while ((jack_port_connected(port) > 0) != connected) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

double secondsOf(const std::string &command, const std::string &name, double fallback)
{
    return command.size() > name.size() + 1 ? std::stod(command.substr(name.size() + 1)) : fallback;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string name = "dzq-test";
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--name") == 0) {
        name = argv[2];
        first = 3;
    }
    jack_client_t *client = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
    if (!client) {
        std::fprintf(stderr, "jack_midi_send: no JACK server\n");
        return 1;
    }
    ring = jack_ringbuffer_create(4096 * sizeof(Event));
    port = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, process, nullptr);
    if (!port || jack_activate(client) != 0) {
        std::fprintf(stderr, "jack_midi_send: cannot register the port\n");
        return 1;
    }
    int status = 0;
    for (int i = first; i < argc && status == 0; ++i) {
        const std::string command = argv[i];
        if (command.rfind("wait-connected", 0) == 0) {
            if (!waitFor(true, secondsOf(command, "wait-connected", 20))) {
                std::fprintf(stderr, "jack_midi_send: nobody connected to %s:out\n", name.c_str());
                status = 1;
            }
        } else if (command.rfind("wait-disconnected", 0) == 0) {
            if (!waitFor(false, secondsOf(command, "wait-disconnected", 20))) {
                std::fprintf(stderr, "jack_midi_send: %s:out stayed connected\n", name.c_str());
                status = 1;
            }
        } else if (command.rfind("send=", 0) == 0) {
            std::vector<Event> events;
            if (!parseEvents(command.substr(5), &events)) {
                std::fprintf(stderr, "jack_midi_send: bad events \"%s\"\n", command.c_str());
                status = 1;
                break;
            }
            jack_ringbuffer_write(ring, reinterpret_cast<const char *>(events.data()), events.size() * sizeof(Event));
        } else if (command.rfind("sleep=", 0) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(command.substr(6))));
        } else {
            std::fprintf(stderr, "jack_midi_send: unknown command \"%s\"\n", command.c_str());
            status = 1;
        }
    }
    // What was sent leaves before the client goes.
    while (jack_ringbuffer_read_space(ring) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    jack_client_close(client);
    jack_ringbuffer_free(ring);
    return status;
}
