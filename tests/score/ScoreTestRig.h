#pragma once

#include "TestContext.h"

#include "chords/ChordAccompaniment.h"
#include "chords/SoundEffects.h"
#include "score/ScoreFiles.h"
#include "score/ScoreLinks.h"
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
struct FakeRooms {
    QStringList calls;
    bool check5 = false;
    QSet<int> rhythmFiles;  // entries of the rhythm file list that exist
    SharedState *state = nullptr;
    Clock *clock = nullptr;
    QList<qint64> rhythmTicksMs;  // times of the rhythm steps the clock drove

    ScoreLinks links()
    {
        ScoreLinks l;
        l.selectTempo = [this](int p) { calls << QStringLiteral("selectTempo(%1)").arg(p); };
        l.applyCombination = [this](int row) {
            calls << QStringLiteral("applyCombination(%1)").arg(row);
            // The melody room stores the program of each voice, 0 for a silent one.
            if (state && row == 1)
                state->VoiceInstrument = {2, 0, 0};
        };
        l.applyBuiltInRhythm = [this](int n) { calls << QStringLiteral("applyBuiltInRhythm(%1)").arg(n); };
        l.applyRhythmFileEntry = [this](int i) {
            calls << QStringLiteral("applyRhythmFileEntry(%1)").arg(i);
            return rhythmFiles.contains(i);
        };
        l.setBzQd = [this](bool on) { calls << QStringLiteral("setBzQd(%1)").arg(int(on)); };
        l.check5 = [this] { return check5; };
        l.setRhythmTimerEnabled = [this](bool on) {
            calls << QStringLiteral("setRhythmTimerEnabled(%1)").arg(int(on));
        };
        l.Bzfs = [this] { calls << QStringLiteral("Bzfs"); };
        l.RhythmClockTick = [this] {
            calls << QStringLiteral("RhythmClockTick");
            if (clock)
                rhythmTicksMs << clock->tickTimeNs() / 1000000;
        };
        l.showKeyUp = [this](int o) { calls << QStringLiteral("showKeyUp(%1)").arg(o); };
        l.hideRhythmFileList = [this] { calls << QStringLiteral("hideRhythmFileList"); };
        return l;
    }

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
    AppContext ctx{t.state, t.window, port, dialogs, t.clock, t.folder.path()};
    ChordAccompaniment chords{ctx};
    SoundEffects effects{ctx};
    ScorePlayer player{ctx, chords, effects};
    ScoreFiles files{ctx, player};
    FakeRooms rooms;

    static constexpr qint64 kMs = 1000000;

    ScoreRig()
    {
        t.port.CloseMidiDevice();
        port.OpenMidiDevice(0);
        rooms.state = &t.state;
        rooms.clock = &t.clock;
        player.setLinks(rooms.links());
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
