#pragma once

#include "chords/ChordAccompaniment.h"
#include "chords/SoundEffects.h"
#include "performance/MelodyVoices.h"
#include "performance/TempoList.h"

#include <QStringView>

// The score language: its command tokens and what the number after each
// command means. The player, the 简谱 sheet, the song exports and the
// editor's import all read scores through these rules, so that what is shown
// or converted is what is played. How a token and its number are read from
// the text is ScoreReader's.
//
// A number n is 0..99 and is 0 when the token has none.
namespace ScoreLanguage {

// A score is at most this many characters long (its length is a 16-bit count).
constexpr int kMaxScoreLength = 32767;
// A number is one or two digits: the longest duration a token can carry.
constexpr int kMaxNumber = 99;

// The tokens besides the note codes: five commands, the rest "XZ" and the end "TZ".
inline constexpr QStringView kTempo = u"VS";
inline constexpr QStringView kChord = u"HX";
inline constexpr QStringView kEffect = u"YX";
inline constexpr QStringView kRhythm = u"JP";
inline constexpr QStringView kInstruments = u"YQ";
inline constexpr QStringView kRest = u"XZ";
inline constexpr QStringView kEnd = u"TZ";

// ---- VS n: tempo -------------------------------------------------------------

// VS1..VS12 choose tempo list entries 0..11 (60..115 beats per minute); the
// list's last entry, 120, cannot be chosen from a score. Any other number
// halts the playing.
constexpr int kTempoCommands = 12;
constexpr bool isTempo(int n) { return n >= 1 && n <= kTempoCommands; }
constexpr int tempoListPosition(int n) { return n - 1; }
constexpr int tempoOf(int n) { return TempoList::tempoAt(tempoListPosition(n)); }
constexpr int eighthBeatMsOf(int n) { return TempoList::eighthBeatMsFor(tempoOf(n)); }

// ---- YQ n: instrument combination ---------------------------------------------

// YQ1..YQ12 choose the combination of F1..F12; any other number chooses 7.
constexpr int kCombinations = MelodyVoices::kCombinations;
constexpr int kFallbackCombination = 7;
constexpr int combinationOf(int n) { return n >= 1 && n <= kCombinations ? n : kFallbackCombination; }

// ---- HX n: chord ---------------------------------------------------------------

// HX1..HX6 choose the chord type; HX with any other number is an error.
constexpr int kChordTypes = ChordAccompaniment::kChordCount;
constexpr bool isChord(int n) { return n >= 1 && n <= kChordTypes; }

// ---- JP n: rhythm --------------------------------------------------------------

constexpr int kBuiltInRhythms = 9;  // JP1..JP9
constexpr int kFirstRhythmFile = 10;  // JP10..JP98: the rhythm file list
constexpr int kLastRhythmFile = 98;
constexpr int kRhythmOff = 99;

enum class RhythmCommand {
    Nothing,  // JP0 and JP without a number
    BuiltIn,  // start built-in rhythm n
    File,  // start the rhythm file at entry rhythmFileEntry(n) of the list
    Off,  // stop the rhythm
};

constexpr RhythmCommand rhythmCommand(int n)
{
    if (n >= 1 && n <= kBuiltInRhythms)
        return RhythmCommand::BuiltIn;
    if (n >= kFirstRhythmFile && n <= kLastRhythmFile)
        return RhythmCommand::File;
    if (n == kRhythmOff)
        return RhythmCommand::Off;
    return RhythmCommand::Nothing;
}

// The 0-based entry of the rhythm file list that JP n names.
constexpr int rhythmFileEntry(int n) { return n - kFirstRhythmFile; }

// ---- YX n: special effect ------------------------------------------------------

// YX1..YX6 play an effect and wait n ticks; any other number does nothing
// and takes no time.
constexpr int kEffects = SoundEffects::kEffectCount;
constexpr int kWaveEffect = 5;  // 海浪声 waits in longer ticks
constexpr bool isEffect(int n) { return n >= 1 && n <= kEffects; }
// Eighths of a beat in one tick of the effect's wait: the playback clock's
// interval is this many times EighthBeatMs.
constexpr int effectTickLength(int n) { return n == kWaveEffect ? 8 : 2; }
// Eighths of a beat the effect takes in all: 2, 4, 6, 8, 40, 12; 0 for a
// number that is no effect.
constexpr int effectWait(int n) { return isEffect(n) ? n * effectTickLength(n) : 0; }

}  // namespace ScoreLanguage
