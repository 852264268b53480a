#pragma once

#include "platform/midi/RecordedMidi.h"

#include <QString>
#include <QVector>

class Notifier;

// Plays a score without windows and without waiting: a fresh performance
// group on a session of its own (so the live program is not
// touched), the start-up defaults, a virtual clock and an output that records
// every message with its time. The score is played as a score opened from a
// file is played: exactly as given, not converted to upper case.
class ScoreRender {
public:
    // How the playing came to an end.
    enum class Ending {
        Ended,   // "TZ" or the end of the text
        Error,   // an unrecognised token; what came before it was played
        Halted,  // "VS" with a number outside 1..12: stopped there
        Limit,   // still playing at the time limit: stopped there
        Stalled, // waiting on a duration of 0 with nothing else sounding: stopped
                 // kStallHoldNs later
    };

    // A token the player read: when, where it stands in the score (1-based)
    // and the eighth of a beat in force as it was read.
    struct Step {
        qint64 ns = 0;
        int position = 0;
        int eighthBeatMs = 0;
    };

    // The lists the playing starts from instead of start-up's (-1: start-up's).
    struct Start {
        int tempoPosition = -1;  // SD
        int keyPosition = -1;    // YD
    };

    struct Performance {
        QVector<TimedMidiMessage> messages;  // in the order sent, times from 0
        int startUpCount = 0;                // the first messages: start-up's, not the score's
        QVector<Step> steps;                 // every token read, in order
        int startEighthBeatMs = 0;           // the eighth of a beat as playing began
        qint64 endNs = 0;                    // when playing ended or was stopped
        Ending ending = Ending::Ended;
        int errorPosition = 0;  // Error: 1-based position of the faulty token
        QString errorToken;     // Error: the faulty token as read (up to two characters)
        bool zeroDuration = false;  // Stalled, Limit: the player waited on a duration of 0

        // Time of the last message, 0 without messages.
        qint64 lastMessageNs() const;
    };

    // Two hours: far longer than any score that ends.
    static constexpr qint64 kDefaultLimitNs = 2LL * 3600 * 1000 * 1000 * 1000;
    // How long the last note of a stalled score is held before it is stopped.
    static constexpr qint64 kStallHoldNs = 2LL * 1000 * 1000 * 1000;

    // Plays the score from the start-up defaults until playing ends, halts or
    // reaches the time limit. Start-up's messages come first, all at time 0,
    // without the rhythm step that start-up lets be heard. A halted or
    // unfinished score is stopped as the stop button stops it, so no note is
    // left sounding. Rhythm files for "JP" 10..98 come from recordFolder.
    // Messages the program shows meanwhile (a rhythm file it refuses, say) go
    // to `notices`; the score error is not shown but returned.
    static Performance play(const QString &score, const QString &recordFolder, Notifier &notices,
                            qint64 limitNs = kDefaultLimitNs);
    // The same, the lists first set as given.
    static Performance play(const QString &score, const QString &recordFolder, Notifier &notices, qint64 limitNs,
                            const Start &start);
};
