#pragma once

#include "TestContext.h"

#include "chords/ChordAccompaniment.h"
#include "chords/SoundEffects.h"
#include "score/ScoreFiles.h"
#include "score/ScorePartners.h"
#include "score/ScorePlayer.h"

#include <QSet>
#include <QStringList>

#include <functional>

// Dialogs that can look at the program's state while a box is open.
class WatchingDialogs : public ScriptedDialogs {
public:
    std::function<void(const QString &text)> whileShown;
    void message(const QString &text, const QString &title) override
    {
        ScriptedDialogs::message(text, title);
        if (whileShown)
            whileShown(text);
    }
};

// The other rooms as the player sees them: every call is written down as
// "name(argument)", and the answers come from the fields.
struct FakeRooms : ScoreMelody, ScoreRhythm {
    QStringList calls;
    bool check5Set = false;
    QSet<int> rhythmFiles;  // JP numbers whose rhythm file list entry exists
    SharedState *state = nullptr;
    Clock *clock = nullptr;
    QList<qint64> rhythmTicksMs;  // times of the rhythm steps the clock drove

    void selectTempo(int p) override { calls << QStringLiteral("selectTempo(%1)").arg(p); }
    void applyCombination(int row) override
    {
        calls << QStringLiteral("applyCombination(%1)").arg(row);
        // The melody room stores the program of each voice, 0 for a silent one.
        if (state && row == 1)
            state->VoiceInstrument = {2, 0, 0};
    }
    void showKeyUp(int o) override { calls << QStringLiteral("showKeyUp(%1)").arg(o); }
    void applyBuiltInRhythm(int n) override { calls << QStringLiteral("applyBuiltInRhythm(%1)").arg(n); }
    bool applyRhythmFile(int jp) override
    {
        calls << QStringLiteral("applyRhythmFile(%1)").arg(jp);
        return rhythmFiles.contains(jp);
    }
    void setBzQd(bool on) override { calls << QStringLiteral("setBzQd(%1)").arg(int(on)); }
    bool check5() const override { return check5Set; }
    void setRhythmTimerEnabled(bool on) override
    {
        calls << QStringLiteral("setRhythmTimerEnabled(%1)").arg(int(on));
    }
    void Bzfs() override { calls << QStringLiteral("Bzfs"); }
    void RhythmClockTick() override
    {
        calls << QStringLiteral("RhythmClockTick");
        if (clock)
            rhythmTicksMs << clock->tickTimeNs() / 1000000;
    }
    void hideRhythmFileList() override { calls << QStringLiteral("hideRhythmFileList"); }

    // The calls without the rhythm clock ticks.
    QStringList commands() const
    {
        QStringList out;
        for (const QString &c : calls) {
            if (c != QLatin1String("RhythmClockTick"))
                out << c;
        }
        return out;
    }
    int count(const QString &call) const { return int(calls.count(call)); }
};

// A score player on the test context with the real chord and effect rooms.
struct ScoreRig {
    TestContext t;
    WatchingDialogs dialogs;
    MidiPort port{t.midi, dialogs, t.clock};  // MIDI errors come to the watched dialogs
    Session ctx{t.state, port, t.media, dialogs, t.clock, t.folder.path()};
    FakeRooms rooms;
    ChordAccompaniment chords{ctx, t.window};
    SoundEffects effects{ctx, t.window};
    ScorePlayer player{ctx, t.window, chords, effects, rooms, rooms};
    ScoreFiles files{ctx, t.window, player};

    static constexpr qint64 kMs = 1000000;

    ScoreRig()
    {
        t.port.CloseMidiDevice();
        port.OpenMidiDevice(0);
        rooms.state = &t.state;
        rooms.clock = &t.clock;
        t.choices.watch(files);
    }

    // The play button pressed with the mouse: mouse-down, then the click.
    void press()
    {
        player.playMouseDown();
        player.playClicked();
    }
    void play(const QString &score)
    {
        t.window.setText3(score);
        press();
    }
    void advanceMs(qint64 ms) { t.clock.advanceMs(ms); }
    qint64 nowMs() const { return t.clock.nowNs() / kMs; }

    // Note-ons sent so far, as "channel:note@ms".
    QStringList noteOns() const
    {
        QStringList out;
        for (const auto &s : t.midi.sent) {
            if ((s.message & 0xF0) == 0x90)
                out << QStringLiteral("%1:%2@%3").arg(s.message & 0x0F).arg((s.message >> 8) & 0x7F).arg(s.dueNs / kMs);
        }
        return out;
    }
    // Melody note-ons of channel 0 only, as "note@ms".
    QStringList melody() const
    {
        QStringList out;
        for (const auto &s : t.midi.sent) {
            if ((s.message & 0xFF) == 0x90)
                out << QStringLiteral("%1@%2").arg((s.message >> 8) & 0x7F).arg(s.dueNs / kMs);
        }
        return out;
    }
    QVector<quint32> sent() const { return t.sent(); }
};
