#include "performance/MelodyVoices.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "performance/TempoList.h"
#include "performance/VoiceNotes.h"
#include "resources/StringTable.h"
#include "midiport/MidiPort.h"

namespace {

constexpr int kVolumes[] = {25, 40, 55, 70, 85, 100, 120};
constexpr int kVolumeCount = int(sizeof(kVolumes) / sizeof(kVolumes[0]));
constexpr int kKeyListCount = 12;
constexpr qint16 kLowestKeyBase = 36;

const InstrumentCombination kCombinationTable[MelodyVoices::kCombinations] = {
    {{3, 0, 0}, "一"},      {{19, 0, 0}, "二"},      {{76, 0, 0}, "三"},
    {{108, 0, 0}, "四"},    {{83, 86, 101}, "五"},   {{19, 52, 74}, "六"},
    {{15, 52, 79}, "七"},   {{62, 92, 117}, "八"},   {{10, 15, 83}, "九"},
    {{49, 80, 100}, "十"},  {{19, 22, 92}, "十一"},  {{10, 92, 113}, "十二"},
};

}  // namespace

MelodyVoices::MelodyVoices(Session &ctx, QObject *parent) : QObject(parent), ctx_(ctx) {}

QStringList MelodyVoices::instrumentTexts()
{
    return StringTable::instrumentNames();
}

QStringList MelodyVoices::volumeTexts()
{
    QStringList texts;
    for (int v : kVolumes)
        texts << QString::number(v);
    return texts;
}

QStringList MelodyVoices::tempoTexts()
{
    // Two-digit tempos have a space before 拍 so the list lines up.
    QStringList texts;
    for (int p = 0; p < TempoList::kCount; ++p) {
        const int tempo = TempoList::tempoAt(p);
        texts << QString::number(tempo) + (tempo < 100 ? QStringLiteral(" ") : QString())
                     + QStringLiteral("拍/分钟");
    }
    return texts;
}

QStringList MelodyVoices::keyTexts()
{
    return {QStringLiteral("C"),  QStringLiteral("C#"), QStringLiteral("D"), QStringLiteral("D#"),
            QStringLiteral("E"),  QStringLiteral("F"),  QStringLiteral("F#"), QStringLiteral("G"),
            QStringLiteral("G#"), QStringLiteral("A"),  QStringLiteral("A#"), QStringLiteral("B")};
}

const InstrumentCombination *MelodyVoices::combination(int row)
{
    if (row < 1 || row > kCombinations)
        return nullptr;
    return &kCombinationTable[row - 1];
}

int MelodyVoices::eighthBeatMsFor(int tempo)
{
    return TempoList::eighthBeatMsFor(tempo);
}

int MelodyVoices::volumeAt(int position)
{
    return position >= 0 && position < kVolumeCount ? kVolumes[position] : -1;
}

int MelodyVoices::instrumentPosition(int voice) const
{
    return validVoice(voice) ? instrumentPos_[size_t(voice)] : -1;
}

int MelodyVoices::volumePosition(int voice) const
{
    return validVoice(voice) ? volumePos_[size_t(voice)] : -1;
}

void MelodyVoices::selectInstrument(int voice, int position)
{
    chooseInstrument(voice, position, true);
}

void MelodyVoices::chooseInstrument(int voice, int position, bool giveKeyboardBack)
{
    if (!validVoice(voice) || position < 0 || position >= StringTable::kInstrumentCount)
        return;
    SharedState &s = ctx_.state;
    instrumentPos_[size_t(voice)] = position;
    emit instrumentPositionChanged(voice, position);
    if (position < 1) {
        // Silent entry: stop this voice's note, keep its program.
        ctx_.port.NoteOff(qint16(voice), MelodyNoteToSilence(s));
    } else {
        s.VoiceInstrument[size_t(voice)] = qint16(position - 1);
        ctx_.port.ProgramChange(qint16(voice), 0, qint16(position - 1));
    }
    if (giveKeyboardBack)
        emit choiceMade();
}

void MelodyVoices::instrumentTextChanged(int voice, int position)
{
    if (!validVoice(voice) || position < 0 || position >= StringTable::kInstrumentCount)
        return;
    instrumentPos_[size_t(voice)] = position;
    emit instrumentPositionChanged(voice, position);
    // The silent entry has no program to send.
    if (position < 1)
        return;
    ctx_.state.VoiceInstrument[size_t(voice)] = qint16(position - 1);
    ctx_.port.ProgramChange(qint16(voice), 0, qint16(position - 1));
}

bool MelodyVoices::setVolume(int voice, int position)
{
    if (!validVoice(voice) || position < 0 || position >= kVolumeCount)
        return false;
    volumePos_[size_t(voice)] = position;
    ctx_.state.VoiceVelocity[size_t(voice)] = qint16(kVolumes[position]);
    emit volumePositionChanged(voice, position);
    return true;
}

void MelodyVoices::selectVolume(int voice, int position)
{
    if (setVolume(voice, position))
        emit choiceMade();
}

void MelodyVoices::volumeTextChanged(int voice, int position)
{
    setVolume(voice, position);
}

void MelodyVoices::selectTempo(int position)
{
    if (position < 0 || position >= TempoList::kCount)
        return;
    tempoPos_ = position;
    const int ms = TempoList::eighthBeatMsFor(TempoList::tempoAt(position));
    ctx_.state.EighthBeatMs = qint16(ms);
    emit tempoPositionChanged(position);
    emit eighthBeatMsChanged(ms);
    emit choiceMade();
}

void MelodyVoices::keyTextTyped()
{
    // The list's text goes back to its first entry; KeyBase stays.
    keyPos_ = 0;
    emit keyPositionChanged(0);
}

void MelodyVoices::selectKey(int position)
{
    if (position < 0 || position >= kKeyListCount)
        return;
    SharedState &s = ctx_.state;
    keyPos_ = position;
    emit keyPositionChanged(position);
    const qint16 newBase = qint16(kLowestKeyBase + position);
    if (newBase != s.KeyBase) {
        // A melody note started at the old key stops now rather than
        // sound on under the new one.
        const qint16 oldBase = s.KeyBase;
        emit keyBaseChanging(oldBase);
        if (s.SoundingMelodyNote >= 0)
            SilenceMelodyNote(s, ctx_.port);
        s.KeyBase = newBase;
    }
    emit choiceMade();
}

bool MelodyVoices::applyCombination(int row)
{
    const InstrumentCombination *c = combination(row);
    if (!c)
        return false;
    for (int i = 0; i < kVoices; ++i)
        ctx_.state.VoiceInstrument[size_t(i)] = c->positions[size_t(i)];
    for (int i = 0; i < kVoices; ++i) {
        const qint16 position = c->positions[size_t(i)];
        chooseInstrument(i, position, false);
        if (position != 0)
            ctx_.port.ProgramChange(qint16(i), 0, qint16(position - 1));
    }
    return true;
}
