/* The recorder of bench_audio_e2e.sh on a JACK server: it reads whatever is
 * joined to the first two playback ports, as the sink's monitor is read on
 * PulseAudio, and writes it to stdout with the time each period is heard.
 *
 *   bench_jack_tap   (JACK_DEFAULT_SERVER names the server)
 *
 * Output, per period: a uint64 (steady clock ns of the start of the cycle
 * that rendered it: when the driver takes it, as a null sink's monitor
 * sees a stream's sound when the sink takes it), a uint32 frame count, then
 * the frames as float32 stereo interleaved. A line on stderr gives the
 * rate, the period and the playback latency the driver declares (the
 * device's own buffer, not counted in the times). Every 20 ms the
 * program looks for ports newly joined to the playback ports and joins
 * them to its own inputs too. Ends on SIGTERM or when the server goes.
 */
#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static jack_client_t *client;
static jack_port_t *in[2];
static jack_port_t *playback[2];
static jack_ringbuffer_t *ring;
static volatile sig_atomic_t ending;
static unsigned long lost_periods;

static uint64_t steady_ns(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint64_t)t.tv_sec * 1000000000u + (uint64_t)t.tv_nsec;
}

static int process(jack_nframes_t frames, void *arg)
{
    (void)arg;
    jack_nframes_t cycle_frames;
    jack_time_t cycle_us, next_us;
    float period_us;
    /* JACK's clock and ours may differ: place the cycle by their offset now. */
    const int64_t offset = (int64_t)steady_ns() - (int64_t)jack_get_time() * 1000;
    if (jack_get_cycle_times(client, &cycle_frames, &cycle_us, &next_us, &period_us) != 0)
        cycle_us = jack_frames_to_time(client, jack_last_frame_time(client));
    const size_t need = sizeof(uint64_t) + sizeof(uint32_t) + (size_t)frames * 2 * sizeof(float);
    if (jack_ringbuffer_write_space(ring) < need) {
        lost_periods++;
        return 0;
    }
    uint64_t heard = (uint64_t)((int64_t)cycle_us * 1000 + offset);
    uint32_t n = frames;
    jack_ringbuffer_write(ring, (const char *)&heard, sizeof heard);
    jack_ringbuffer_write(ring, (const char *)&n, sizeof n);
    const float *l = jack_port_get_buffer(in[0], frames);
    const float *r = jack_port_get_buffer(in[1], frames);
    float pair[2];
    for (jack_nframes_t i = 0; i < frames; ++i) {
        pair[0] = l[i];
        pair[1] = r[i];
        jack_ringbuffer_write(ring, (const char *)pair, sizeof pair);
    }
    return 0;
}

static void gone(void *arg)
{
    (void)arg;
    ending = 1;
}

static void stop(int sig)
{
    (void)sig;
    ending = 1;
}

/* Joins to in[k] every port that feeds playback port k. */
static void follow(void)
{
    for (int k = 0; k < 2; ++k) {
        const char **feeders = jack_port_get_all_connections(client, playback[k]);
        if (!feeders)
            continue;
        for (const char **f = feeders; *f; ++f) {
            if (!jack_port_connected_to(in[k], *f))
                jack_connect(client, *f, jack_port_name(in[k]));
        }
        jack_free(feeders);
    }
}

int main(void)
{
    client = jack_client_open("dzq-bench-tap", JackNoStartServer, NULL);
    if (!client) {
        fprintf(stderr, "bench_jack_tap: no JACK server\n");
        return 1;
    }
    const char **ports = jack_get_ports(client, NULL, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
    if (!ports || !ports[0] || !ports[1]) {
        fprintf(stderr, "bench_jack_tap: the server has no two playback ports\n");
        return 1;
    }
    playback[0] = jack_port_by_name(client, ports[0]);
    playback[1] = jack_port_by_name(client, ports[1]);
    jack_free(ports);
    in[0] = jack_port_register(client, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    in[1] = jack_port_register(client, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    ring = jack_ringbuffer_create(1 << 22);
    jack_set_process_callback(client, process, NULL);
    jack_on_shutdown(client, gone, NULL);
    signal(SIGTERM, stop);
    signal(SIGINT, stop);
    if (jack_activate(client) != 0) {
        fprintf(stderr, "bench_jack_tap: cannot activate\n");
        return 1;
    }
    jack_latency_range_t range;
    jack_port_get_latency_range(playback[0], JackPlaybackLatency, &range);
    fprintf(stderr, "bench_jack_tap: %u Hz, period %u, playback latency %u frames\n", jack_get_sample_rate(client),
            jack_get_buffer_size(client), range.max);
    fflush(stderr);

    char chunk[65536];
    int since_follow = 0;
    while (!ending) {
        size_t n;
        while ((n = jack_ringbuffer_read(ring, chunk, sizeof chunk)) > 0) {
            if (fwrite(chunk, 1, n, stdout) != n) {
                ending = 1;
                break;
            }
        }
        fflush(stdout);
        usleep(2000);
        if (++since_follow >= 10) {
            since_follow = 0;
            follow();
        }
    }
    jack_client_close(client);
    if (lost_periods)
        fprintf(stderr, "bench_jack_tap: %lu periods lost (stdout too slow)\n", lost_periods);
    return 0;
}
