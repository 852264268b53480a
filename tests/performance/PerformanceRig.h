#pragma once

#include "TestContext.h"

#include "chords/ChordAccompaniment.h"

#include "performance/KeyboardEngine.h"
#include "performance/MelodyVoices.h"
#include "performance/OnScreenKeyboard.h"

#include <QSet>
#include <QStringList>

#include <algorithm>

// The melody settings and key pictures as start-up leaves them:
// instruments 15, 52, 79, volume 70, key C, 90 beats per minute.
inline void selectStartUpDefaults(MelodyVoices &voices, OnScreenKeyboard &keys)
{
    keys.initialiseKeys();
    voices.selectInstrument(0, 15);
    voices.selectInstrument(1, 52);
    voices.selectInstrument(2, 79);
    for (int i = 0; i < 3; ++i)
        voices.selectVolume(i, 3);
    voices.selectKey(0);
    voices.selectTempo(6);
}

// The performance controllers on a test context with the start-up defaults
// and the keyboard button focused. Messages sent while setting up are
// cleared.
struct PerformanceRig {
    TestContext t;
    MelodyVoices voices{t.ctx};
    ChordAccompaniment chords{t.ctx, t.window};
    OnScreenKeyboard keys{t.ctx, voices, chords};
    HookPartners partners{chords};
    KeyboardEngine engine{t.ctx, t.window, voices, keys, partners};

    PerformanceRig()
    {
        t.choices.watch(voices);
        t.choices.watch(engine);
        selectStartUpDefaults(voices, keys);
        engine.focusGained();
        t.clearSent();
    }

    void press(int keyCode) { engine.keyPressed(keyCode); }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            engine.onDurationTick();
    }
    QVector<quint32> sent() const { return t.sent(); }
    QVector<quint32> noteOns() const { return t.midi.messagesOfKind(0x90); }
    QVector<quint32> noteOffs() const { return t.midi.messagesOfKind(0x80); }
};

// The melody notes (channels 0-2) left sounding at the end of the messages:
// note-ons not followed by a note-off of the same channel and number, as
// "channel:note" in order, or an empty string when nothing hangs.
inline QString hangingMelodyNotes(const QVector<quint32> &messages)
{
    QSet<quint32> sounding;  // channel << 8 | note
    for (quint32 m : messages) {
        const quint32 kind = m & 0xF0, channel = m & 0x0F, note = (m >> 8) & 0x7F;
        if (channel > 2)
            continue;
        if (kind == 0x90 && ((m >> 16) & 0x7F) > 0)
            sounding.insert(channel << 8 | note);
        else if (kind == 0x80)
            sounding.remove(channel << 8 | note);
    }
    QList<quint32> left = sounding.values();
    std::sort(left.begin(), left.end());
    QStringList names;
    for (quint32 n : left)
        names << QStringLiteral("%1:%2").arg(n >> 8).arg(n & 0xFF);
    return names.join(QLatin1Char(' '));
}
