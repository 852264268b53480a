#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "performance/VoiceNotes.h"

#include <array>

struct Session;

// One fixed instrument combination: the instrument list positions of the
// three voices and the number word that names it.
struct InstrumentCombination {
    std::array<qint16, 3> positions{};
    const char *word = "";
};

// The melody panel's settings: the instrument lists ComSounds(0..2), the
// volume lists Zxlyl(0..2), the tempo list SD and the key list YD. Every
// selection, by the user or in code, goes through here and has the same
// effect. All lists are choose-only: a position outside a list is ignored.
class MelodyVoices : public QObject {
    Q_OBJECT
public:
    static constexpr int kVoices = 3;
    static constexpr int kCombinations = 12;

    explicit MelodyVoices(Session &ctx, QObject *parent = nullptr);

    // The list texts.
    static QStringList instrumentTexts();  // "0.无声" .. "128.枪声"
    static QStringList volumeTexts();      // "25" .. "120"
    static QStringList tempoTexts();       // "60 拍/分钟" .. "120拍/分钟"
    static QStringList keyTexts();         // "C" .. "B"
    // Rows 1..12 (F1..F12); nullptr for any other row.
    static const InstrumentCombination *combination(int row);
    // Milliseconds of an eighth of a beat (TempoList::eighthBeatMsFor).
    static int eighthBeatMsFor(int tempo);
    // The velocity of volume list entry `position`, -1 outside the list.
    static int volumeAt(int position);

    // Current positions; -1 while nothing is selected.
    int instrumentPosition(int voice) const;
    int volumePosition(int voice) const;
    int tempoPosition() const { return tempoPos_; }
    int keyPosition() const { return keyPos_; }
    // Whether the keyboard and the mouse keys sound this voice.
    bool voiceSounds(int voice) const { return instrumentPosition(voice) > 0; }
    VoiceMask soundingVoices() const { return {voiceSounds(0), voiceSounds(1), voiceSounds(2)}; }

    // ComSounds(i) click: silent entry stops the voice's note, any other sets
    // its program; then the keyboard is given back.
    void selectInstrument(int voice, int position);
    // ComSounds(i) text change: sets the program, no focus return.
    void instrumentTextChanged(int voice, int position);
    // Zxlyl(i) click (keyboard given back) and text change (not).
    void selectVolume(int voice, int position);
    void volumeTextChanged(int voice, int position);
    // SD selection: EighthBeatMs and the rhythm timer; keyboard given back.
    void selectTempo(int position);
    // YD selection: KeyBase = 36 + position; keyboard given back. A note
    // still sounding is stopped at the old key first.
    void selectKey(int position);
    // Something typed into YD: its text reads "C" again and KeyBase keeps
    // its value (typing never transposes).
    void keyTextTyped();

    // Instrument combination row 1..12 as F1..F12 and the score's YQ apply
    // it: the three positions are stored and selected (without giving the
    // keyboard back) and every non-silent program is sent once more.
    // Returns false for a row outside 1..12 (nothing happens).
    bool applyCombination(int row);

signals:
    // A choice was made in one of its controls: the window gives the
    // keyboard back in its own way.
    void choiceMade();
    void instrumentPositionChanged(int voice, int position);
    void volumePositionChanged(int voice, int position);
    void tempoPositionChanged(int position);
    void keyPositionChanged(int position);
    // The new EighthBeatMs; the rhythm timer BZDS runs at twice that.
    void eighthBeatMsChanged(int eighthBeatMs);
    // KeyBase is about to move away from oldKeyBase: notes started at the
    // old key must be stopped now, their note-offs would go astray later.
    void keyBaseChanging(qint16 oldKeyBase);

private:
    void chooseInstrument(int voice, int position, bool giveKeyboardBack);
    bool setVolume(int voice, int position);
    static bool validVoice(int voice) { return voice >= 0 && voice < kVoices; }

    Session &ctx_;
    std::array<int, kVoices> instrumentPos_{{-1, -1, -1}};
    std::array<int, kVoices> volumePos_{{-1, -1, -1}};
    int tempoPos_ = -1;
    int keyPos_ = -1;
};
