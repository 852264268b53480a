#include "platform/audio/drivers/JackOutput.h"

#include "core/SteadyTime.h"
#include "platform/audio/drivers/JackServer.h"
#include "platform/audio/realtime/AudioProcessor.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <jack/jack.h>

#include <thread>

namespace {

constexpr const char *kClientName = "Quorvane";
constexpr const char *kPortNames[2] = {"out_left", "out_right"};

jack_client_t *openClient()
{
    if (!jackServerSocketPresent())
        return nullptr;
    routeJackMessagesToLog();
    JackLookingForServer looking;
    return jack_client_open(kClientName, JackNoStartServer, nullptr);
}

}  // namespace

JackOutput::JackOutput(int sampleRate, AudioProcessor *processor) : rate_(sampleRate), processor_(processor) { }

JackOutput::~JackOutput()
{
    close();
}

int JackOutput::serverSampleRate()
{
    jack_client_t *client = openClient();
    if (!client)
        return 0;
    const int rate = int(jack_get_sample_rate(client));
    jack_client_close(client);
    return rate;
}

bool JackOutput::open()
{
    close();
    forgetAudioThread();
    gone_.store(false);
    client_ = openClient();
    if (!client_)
        return false;
    if (int(jack_get_sample_rate(client_)) != rate_) {
        close();
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        ports_[i] = jack_port_register(client_, kPortNames[i], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        if (!ports_[i]) {
            close();
            return false;
        }
    }
    bufferFrames_.store(int(jack_get_buffer_size(client_)));
    jack_set_process_callback(client_, &JackOutput::process, this);
    jack_set_buffer_size_callback(client_, &JackOutput::bufferSizeChanged, this);
    jack_set_xrun_callback(client_, &JackOutput::xrun, this);
    jack_on_shutdown(client_, &JackOutput::shutdown, this);
    if (jack_activate(client_) != 0) {
        close();
        return false;
    }
    // To the speakers; a server without physical outputs (a dummy one, a
    // patchbay the user wires) leaves the ports for the user to connect.
    if (const char **playback = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                               JackPortIsPhysical | JackPortIsInput)) {
        for (int i = 0; i < 2 && playback[i]; ++i)
            jack_connect(client_, jack_port_name(ports_[i]), playback[i]);
        jack_free(playback);
    }
    return true;
}

void JackOutput::close()
{
    if (!client_)
        return;
    if (gone_.load()) {
        // The server is gone and the library's threads with it: calling into
        // the client now crashes. A cycle begun before may still be running.
        while (inProcess_.load())
            std::this_thread::yield();
    } else {
        jack_deactivate(client_);
        jack_client_close(client_);
    }
    client_ = nullptr;
    ports_[0] = ports_[1] = nullptr;
}

bool JackOutput::raiseThreadPriority()
{
    return jack_is_realtime(client_) == 1;
}

int JackOutput::process(unsigned int frames, void *data)
{
    ThreadRoles::AudioScope audio;
    auto *self = static_cast<JackOutput *>(data);
    self->inProcess_.store(true);
    const qint64 now = SteadyTime::nowNs();
    self->raisePriorityOnce();
    auto *left = static_cast<float *>(jack_port_get_buffer(self->ports_[0], frames));
    auto *right = static_cast<float *>(jack_port_get_buffer(self->ports_[1], frames));
    self->processor_->render(left, right, int(frames), now);
    self->inProcess_.store(false);
    return 0;
}

int JackOutput::bufferSizeChanged(unsigned int frames, void *data)
{
    static_cast<JackOutput *>(data)->bufferFrames_.store(int(frames), std::memory_order_relaxed);
    return 0;
}

int JackOutput::xrun(void *data)
{
    static_cast<JackOutput *>(data)->noteUnderrun(SteadyTime::nowNs());
    return 0;
}

void JackOutput::shutdown(void *data)
{
    static_cast<JackOutput *>(data)->gone_.store(true);
}
