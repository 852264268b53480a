#include "chords/ChordAccompaniment.h"

#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "performance/MelodyVoices.h"
#include "resources/StringTable.h"
#include "midiport/MidiPort.h"

namespace {

constexpr int kChordVelocitySlot = 3;  // VoiceVelocity entry of the chords

bool validList(int list)
{
    return list >= 0 && list < 3;
}

}  // namespace

const std::array<ChordAccompaniment::Chord, ChordAccompaniment::kChordCount> &
ChordAccompaniment::chordTable()
{
    static const std::array<Chord, kChordCount> table{{
        {73, QStringLiteral("1,3,5"), QStringLiteral("1.3.5"), {{24, 28, 31}}},   // I
        {79, QStringLiteral("2,4,6"), QStringLiteral("2.4.6"), {{26, 29, 33}}},   // O
        {75, QStringLiteral("3,5,7"), QStringLiteral("3.5.7"), {{28, 31, 35}}},   // K
        {76, QStringLiteral("4,6,1"), QStringLiteral("4.6.1"), {{29, 33, 36}}},   // L
        {188, QStringLiteral("5,7,2"), QStringLiteral("5.7.2"), {{31, 35, 38}}},  // comma
        {190, QStringLiteral("6,1,3"), QStringLiteral("6.1.3"), {{33, 36, 40}}},  // full stop
    }};
    return table;
}

int ChordAccompaniment::chordForKeyCode(int keyCode)
{
    const auto &table = chordTable();
    for (int i = 0; i < kChordCount; ++i) {
        if (table[size_t(i)].keyCode == keyCode)
            return i;
    }
    return -1;
}

QString ChordAccompaniment::optionCaption(int option)
{
    if (option >= 0 && option < kChordCount)
        return chordTable()[size_t(option)].caption;
    return chordTable()[0].caption;
}

QStringList ChordAccompaniment::volumeEntries()
{
    return MelodyVoices::volumeTexts();
}

QStringList ChordAccompaniment::instrumentEntries()
{
    return StringTable::instrumentNames();
}

ChordAccompaniment::ChordAccompaniment(Session &ctx, WindowDisplay &display, QObject *parent)
    : QObject(parent), ctx_(ctx), display_(display), HXYS_(ctx.clock, QStringLiteral("HXYS"), kTestMs, this)
{
    HXYS_.onTick = [this] { onHXYSTick(); };
}

void ChordAccompaniment::chooseOption(int option)
{
    if (option < 0 || option >= kOptionCount || option == option_)
        return;
    option_ = option;
    emit optionChanged(option);
    optionClicked(option);
}

bool ChordAccompaniment::chooseChordType(int n)
{
    if (n < 1 || n > kChordCount)
        return false;
    chooseOption(n - 1);
    return true;
}

void ChordAccompaniment::optionClicked(int option)
{
    // The chosen chord stops, whether it sounds or not.
    for (int k = 0; k < 3; ++k)
        noteOff(k, chordNotes_[size_t(k)]);
    // Options 6..10 carry no chord: the last chord stays chosen.
    if (option < kChordCount)
        chordNotes_ = chordTable()[size_t(option)].notes;
}

void ChordAccompaniment::pressStart()
{
    // A new strike while a test sounds: what still sounds of the old test
    // chord stops first (an option click may have stopped it already).
    if (HXYS_.isEnabled()) {
        for (int k = 0; k < 3; ++k)
            stopIfSounding(k, testChordNotes_[size_t(k)]);
    }
    if (option_ >= 0 && option_ < kChordCount)
        chordNotes_ = chordTable()[size_t(option_)].notes;
    testChordNotes_ = chordNotes_;
    const qint16 velocity = ctx_.state.VoiceVelocity[kChordVelocitySlot];
    for (int k = 0; k < 3; ++k)
        noteOn(k, testChordNotes_[size_t(k)], velocity);
    setStartEnabled(false);
    HXYS_.restart();  // a full second from this strike
    emit choiceMade();
}

void ChordAccompaniment::onHXYSTick()
{
    for (int k = 0; k < 3; ++k)
        noteOff(k, testChordNotes_[size_t(k)]);
    setStartEnabled(true);
    HXYS_.setEnabled(false);
    emit choiceMade();
}

void ChordAccompaniment::HXQD()
{
    const int chord = chordForKeyCode(ctx_.state.LastKeyCode);
    if (chord < 0)
        return;
    // The chord already chosen is struck twice in a row.
    if (option_ == chord)
        pressStart();
    chooseOption(chord);
    pressStart();
    display_.setXSWB(QStringLiteral("和弦音效\r\n         ") + chordTable()[size_t(chord)].name);
}

int ChordAccompaniment::instrumentPosition(int list) const
{
    return validList(list) ? instrument_[size_t(list)] : -1;
}

bool ChordAccompaniment::channelSounds(int list) const
{
    return validList(list) && instrument_[size_t(list)] != 0;
}

void ChordAccompaniment::selectInstrument(int list, int position)
{
    if (!validList(list) || position < 0 || position >= StringTable::kInstrumentCount)
        return;
    const bool changed = instrument_[size_t(list)] != position;
    instrument_[size_t(list)] = position;
    if (changed)
        emit instrumentChanged(list, position);
    if (position == 0)
        silenceChannel(list);  // "0.无声" has no program: the channel just stops
    else
        ctx_.port.ProgramChange(qint16(kFirstChannel + list), 0, qint16(position - 1));
    emit choiceMade();
}

void ChordAccompaniment::sendPrograms()
{
    for (int k = 0; k < 3; ++k) {
        if (instrument_[size_t(k)] > 0)
            ctx_.port.ProgramChange(qint16(kFirstChannel + k), 0, qint16(instrument_[size_t(k)] - 1));
    }
}

void ChordAccompaniment::selectVolume(int position)
{
    if (MelodyVoices::volumeAt(position) < 0)
        return;
    const bool changed = volume_ != position;
    volume_ = position;
    ctx_.state.VoiceVelocity[kChordVelocitySlot] = qint16(MelodyVoices::volumeAt(position));
    if (changed)
        emit volumeChanged(position);
    emit choiceMade();
}

void ChordAccompaniment::soundChord(const ChordTriad &notes)
{
    const qint16 velocity = ctx_.state.VoiceVelocity[kChordVelocitySlot];
    for (int k = 0; k < 3; ++k)
        noteOn(k, notes[size_t(k)], velocity);
}

void ChordAccompaniment::silenceChord(const ChordTriad &notes)
{
    for (int k = 0; k < 3; ++k)
        noteOff(k, notes[size_t(k)]);
}

void ChordAccompaniment::SilenceScoreNotes()
{
    SilenceMelodyNote(ctx_.state, ctx_.port);
    silenceChord(ctx_.state.SoundingChordNotes);
}

// The notes still sounding were started at the old KeyBase; their pitches
// are kept, so they are stopped exactly as they were started.
void ChordAccompaniment::keyBaseChanging(qint16 /*oldKeyBase*/)
{
    for (int k = 0; k < 3; ++k)
        silenceChannel(k);
}

void ChordAccompaniment::setStartEnabled(bool enabled)
{
    if (enabled == startEnabled_)
        return;
    startEnabled_ = enabled;
    emit startEnabledChanged(enabled);
}

void ChordAccompaniment::noteOn(int list, int offset, qint16 velocity)
{
    if (!channelSounds(list))
        return;
    const int pitch = ctx_.state.KeyBase + offset;
    ctx_.port.NoteOn(qint16(kFirstChannel + list), qint16(pitch), velocity);
    if (pitch >= 0 && pitch < 128)
        sounding_[size_t(list)].set(size_t(pitch));
}

void ChordAccompaniment::noteOff(int list, int offset)
{
    const int pitch = ctx_.state.KeyBase + offset;
    ctx_.port.NoteOff(qint16(kFirstChannel + list), qint16(pitch));
    if (pitch >= 0 && pitch < 128)
        sounding_[size_t(list)].reset(size_t(pitch));
}

void ChordAccompaniment::stopIfSounding(int list, int offset)
{
    const int pitch = ctx_.state.KeyBase + offset;
    if (pitch >= 0 && pitch < 128 && sounding_[size_t(list)].test(size_t(pitch)))
        noteOff(list, offset);
}

void ChordAccompaniment::silenceChannel(int list)
{
    auto &notes = sounding_[size_t(list)];
    for (int pitch = 0; pitch < 128 && notes.any(); ++pitch) {
        if (notes.test(size_t(pitch))) {
            ctx_.port.NoteOff(qint16(kFirstChannel + list), qint16(pitch));
            notes.reset(size_t(pitch));
        }
    }
}
