#pragma once

#include "platform/dialogs/UserDialogs.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>

#include <smf.h>

#include <cmath>

// Reads a MIDI file back with libsmf, a reader independent of our writer.
struct MidiFileContents {
    bool loaded = false;
    int format = -1;
    int ppqn = 0;
    int tracks = 0;
    int tempo = 0;           // microseconds per quarter note of the first tempo event
    int lengthPulses = -1;   // tick of the end of track
    int lengthMs = -1;       // its time through the tempo map
    struct Event {
        int ms = 0;          // its time through the file's tempo map, rounded
        int pulses = 0;
        quint32 message = 0; // packed like the program's messages
    };
    QVector<QPair<int, int>> tempos;  // pulses, microseconds a quarter
    QVector<Event> events;   // channel messages only

    QVector<Event> at(int ms) const
    {
        QVector<Event> out;
        for (const Event &e : events)
            if (e.ms == ms)
                out << e;
        return out;
    }
    QVector<quint32> messagesAt(int ms) const
    {
        QVector<quint32> out;
        for (const Event &e : events)
            if (e.ms == ms)
                out << e.message;
        return out;
    }
};

inline MidiFileContents readMidiFile(const QString &path)
{
    MidiFileContents c;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return c;
    const QByteArray bytes = file.readAll();
    smf_t *smf = smf_load_from_memory(bytes.constData(), int(bytes.size()));
    if (!smf)
        return c;
    c.loaded = true;
    c.format = smf->format;
    c.ppqn = smf->ppqn;
    c.tracks = smf->number_of_tracks;
    c.lengthPulses = smf_get_length_pulses(smf);
    c.lengthMs = int(std::lround(smf_get_length_seconds(smf) * 1000));
    while (smf_event_t *e = smf_get_next_event(smf)) {
        const unsigned char *b = e->midi_buffer;
        if (smf_event_is_metadata(e)) {
            if (e->midi_buffer_length >= 6 && b[1] == 0x51) {
                const int micros = (b[3] << 16) | (b[4] << 8) | b[5];
                if (c.tempo == 0)
                    c.tempo = micros;
                c.tempos.append({e->time_pulses, micros});
            }
            continue;
        }
        quint32 m = 0;
        for (int i = 0; i < e->midi_buffer_length && i < 3; ++i)
            m |= quint32(b[i]) << (8 * i);
        c.events.append({int(std::lround(e->time_seconds * 1000)), e->time_pulses, m});
    }
    smf_delete(smf);
    return c;
}

// Dialogs that only keep the messages.
class NoticeList : public Notifier {
public:
    QStringList messages;
    void message(const QString &text, const QString &) override { messages << text; }
};
