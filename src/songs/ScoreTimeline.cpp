#include "songs/ScoreTimeline.h"

#include "performance/TempoList.h"
#include "score/ScoreLanguage.h"
#include "score/ScoreReader.h"

namespace ScoreTimeline {

namespace {

using ScoreReader::TokenKind;

}  // namespace

int Timeline::tempoAt(int unit) const
{
    int tempo = TempoList::startTempo();
    for (const Event &e : events) {
        if (e.start > unit)
            break;
        if (e.kind == Kind::Tempo)
            tempo = ScoreLanguage::tempoOf(e.number);
    }
    return tempo;
}

int firstCombination(const Timeline &timeline)
{
    int row = 7;
    for (const Event &e : timeline.events) {
        if (e.kind == Kind::Note)
            break;
        if (e.kind == Kind::Instruments)
            row = e.number;
    }
    return row;
}

Timeline read(const QString &score)
{
    Timeline t;
    const int n = int(score.size());
    int pos = 1;
    qint16 duration = 0;
    int time = 0;
    int lastTimed = -1;  // the last note or rest
    int chord = 0;       // a chord waiting for the next note
    const auto add = [&](Kind kind, int number, int length) {
        Event e;
        e.kind = kind;
        e.start = time;
        e.number = number;
        e.length = length;
        e.position = pos;
        t.events.append(e);
        return int(t.events.size()) - 1;
    };
    const auto stop = [&](Ending ending) {
        t.ending = ending;
        t.endPosition = pos;
    };

    for (;;) {
        // Past the end the token is empty: an error, unless a note ended the text.
        const ScoreReader::ReadResult r = ScoreReader::readToken(score, pos);
        const TokenKind kind = ScoreReader::kindOf(r);
        duration = r.durationAfter(duration);
        const int number = r.number;
        if (kind == TokenKind::Tempo) {
            if (!r.hasNumber || !ScoreLanguage::isTempo(number)) {
                stop(Ending::Halted);
                break;
            }
            add(Kind::Tempo, number, 0);
        } else if (kind == TokenKind::Chord) {
            chord = number;
        } else if (kind == TokenKind::Effect) {
            const int wait = ScoreLanguage::effectWait(number);
            if (wait > 0) {
                add(Kind::Effect, number, 0);
                // The note before sounds on through the effect's wait.
                if (lastTimed >= 0)
                    t.events[lastTimed].length += wait;
                else
                    lastTimed = add(Kind::Rest, 0, wait);
                time += wait;
            }
        } else if (kind == TokenKind::Rhythm) {
            if (ScoreLanguage::rhythmCommand(number) != ScoreLanguage::RhythmCommand::Nothing)
                add(Kind::Rhythm, number, 0);
        } else if (kind == TokenKind::Instruments) {
            add(Kind::Instruments, ScoreLanguage::combinationOf(number), 0);
        } else if (kind == TokenKind::Note || kind == TokenKind::Rest) {
            if (kind == TokenKind::Note && r.end > n - 1) {
                stop(Ending::TextEnd);  // a note that ends the text is not sounded
                break;
            }
            lastTimed = add(kind == TokenKind::Note ? Kind::Note : Kind::Rest, 0, duration);
            Event &e = t.events[lastTimed];
            if (kind == TokenKind::Note) {
                e.offset = ScoreReader::noteOffset(r.token);
                e.chord = chord;
                chord = 0;
                ++t.notes;
            }
            if (duration == 0) {
                e.held = true;
                stop(Ending::Held);
                break;
            }
            time += duration;
        } else if (kind == TokenKind::End) {
            stop(Ending::End);
            break;
        } else {
            stop(Ending::Error);
            t.errorToken = r.token;
            break;
        }
        pos = r.end + 1;
    }
    t.length = time;
    return t;
}

}  // namespace ScoreTimeline
