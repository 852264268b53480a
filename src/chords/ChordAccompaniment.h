#pragma once

#include "core/Session.h"
#include "core/PlaybackTimer.h"
#include "performance/VoiceNotes.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <bitset>

class WindowDisplay;
// Three chord notes as offsets above KeyBase, for channels 3, 4 and 5.
using ChordTriad = std::array<qint16, 3>;

// The chord accompaniment: the chord type options Option5(0..10), the chord
// test behind the start button Check6, the three chord instruments and the
// chord volume. Chords sound on channels 3, 4 and 5, one note each.
class ChordAccompaniment : public QObject, public ScoreNoteSilencer {
    Q_OBJECT
public:
    static constexpr int kOptionCount = 11;     // Option5(0..10)
    static constexpr int kChordCount = 6;       // options 0..5 carry a chord
    static constexpr int kInitialOption = 10;
    static constexpr int kFirstChannel = 3;
    static constexpr int kTestMs = 1000;
    static constexpr int kInitialInstrument = 25;  // "25.尼龙弦吉它"
    static constexpr int kInitialVolume = 3;       // "70"

    // One row of the chord table.
    struct Chord {
        qint16 keyCode;    // the chord key (I, O, K, L, comma, full stop)
        QString caption;   // caption of its option, "1,3,5"
        QString name;      // shown when its key is pressed, "1.3.5"
        ChordTriad notes;
    };
    static const std::array<Chord, kChordCount> &chordTable();
    // Row of the chord key, or -1 for any other key code.
    static int chordForKeyCode(int keyCode);
    // Caption of Option5(i); options 6..10 read "1,3,5" like option 0.
    static QString optionCaption(int option);
    // The chord volume list HxYL: "25" .. "120".
    static QStringList volumeEntries();
    // The chord instrument lists Combo3: "0.无声" .. "128.枪声".
    static QStringList instrumentEntries();

    ChordAccompaniment(Session &ctx, WindowDisplay &display, QObject *parent = nullptr);

    // Option5: the chosen option. Choosing another one runs the option click:
    // the chosen chord is silenced and options 0..5 take their chord. Choosing
    // the option already chosen does nothing. Out-of-range indices are ignored.
    int chosenOption() const { return option_; }
    void chooseOption(int option);
    // The score's HX n: chooses option n - 1. False (and nothing done) for n
    // outside 1..6. The player keeps its own chord request.
    bool chooseChordType(int n);

    const ChordTriad &ChordNotes() const { return chordNotes_; }
    const ChordTriad &TestChordNotes() const { return testChordNotes_; }

    // Check6 "启动": sounds the chosen chord for one second. Pressed while a
    // test still sounds, the old test chord stops and the new one starts
    // with a full second of its own.
    bool startEnabled() const { return startEnabled_; }
    void pressStart();
    bool testSounding() const { return HXYS_.isEnabled(); }

    // HXYS: ends the chord test one second after it started.
    PlaybackTimer &HXYS() { return HXYS_; }
    void onHXYSTick();

    // HXQD: the chord keys; reads ctx.state.LastKeyCode. Other codes do nothing.
    void HXQD();

    // Combo3(list): the instrument of chord channel 3 + list; -1 before the
    // first selection. Position 0 ("0.无声") silences that channel: no
    // program is sent and no chord note starts on it while it is chosen.
    int instrumentPosition(int list) const;
    // A selection or a click on an entry (the same entry again re-sends it).
    void selectInstrument(int list, int position);
    // Sends the program of every chord list (bank 0) without other effects,
    // as start-up does after the lists are set.
    void sendPrograms();
    bool channelSounds(int list) const;

    // HxYL: the chord volume; the velocity lives in VoiceVelocity[3].
    int volumePosition() const { return volume_; }
    void selectVolume(int position);

    // For the score player: starts the given chord notes on channels 3..5
    // with the chord velocity (silenced channels stay quiet), and stops them.
    // Use these rather than the port, so that a change of key can stop
    // every chord note that sounds.
    void soundChord(const ChordTriad &notes);
    void silenceChord(const ChordTriad &notes);
    // The melody note (channels 0-2) and the chord notes the score player
    // last started (SoundingChordNotes on channels 3-5).
    void SilenceScoreNotes() override;

public slots:
    // Connected to the key list's announcement that KeyBase is about to move:
    // every chord note still sounding stops now, while its note-off still
    // names the pitch it was started with.
    void keyBaseChanging(qint16 oldKeyBase);

signals:
    // A choice was made in one of its controls: the window gives the
    // keyboard back in its own way.
    void choiceMade();
    void optionChanged(int option);
    void startEnabledChanged(bool enabled);
    void instrumentChanged(int list, int position);
    void volumeChanged(int position);

private:
    void optionClicked(int option);
    void setStartEnabled(bool enabled);
    // Chord note messages; the pitches that sound are kept per channel.
    void noteOn(int list, int offset, qint16 velocity);
    void noteOff(int list, int offset);
    void stopIfSounding(int list, int offset);
    void silenceChannel(int list);

    Session &ctx_;
    WindowDisplay &display_;
    int option_ = kInitialOption;
    ChordTriad chordNotes_{};
    ChordTriad testChordNotes_{};
    bool startEnabled_ = true;
    std::array<int, 3> instrument_{{-1, -1, -1}};
    int volume_ = -1;
    std::array<std::bitset<128>, 3> sounding_;  // pitches started and not yet stopped
    PlaybackTimer HXYS_;  // HXYS: chord test timer
};
