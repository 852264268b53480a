#include "performance/MiniKeyboard.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "performance/KeyTable.h"
#include "performance/MelodyVoices.h"
#include "performance/ScoreWriting.h"
#include "performance/VoiceNotes.h"
#include "midiport/MidiPort.h"

namespace {
constexpr qint16 kBackslash = 0xDC;  // plays MA in the main window only
}

MiniKeyboard::MiniKeyboard(Session &ctx, WindowDisplay &mainDisplay, QObject *parent)
    : QObject(parent), ctx_(ctx), mainDisplay_(mainDisplay),
      timer1_(ctx.clock, QStringLiteral("Form2.Timer1"), 0, this)
{
    timer1_.onTick = [this] { onDurationTick(); };
    for (int o = 0; o < kBoxes; ++o) {
        white_[size_t(o)] = !KeyTable::isBlackKey(o);
        colours_[size_t(o)] = white_[size_t(o)] ? kWhiteUp : kBlackUp;
    }
}

void MiniKeyboard::activate()
{
    SharedState &s = ctx_.state;
    s.ScoreText.clear();
    timer1_.setInterval(s.EighthBeatMs);
    for (int o = 0; o < kBoxes; ++o) {
        white_[size_t(o)] = !KeyTable::isBlackKey(o);
        setColour(o, white_[size_t(o)] ? kWhiteUp : kBlackUp);
    }
    for (int i = 0; i < 3; ++i) {
        s.VoiceInstrument[size_t(i)] = kStartInstruments[size_t(i)];
        ctx_.port.ProgramChange(qint16(i), 0, qint16(kStartInstruments[size_t(i)] - 1));
    }
    emit choiceMade();
}

void MiniKeyboard::keyPressed(int keyCode)
{
    ctx_.state.LastKeyCode = qint16(keyCode);
    if (keyCode == kBackslash)
        return;
    switch (KeyTable::roleOf(keyCode)) {
    case KeyRole::Combination:
        combination(keyCode - KeyTable::kF1 + 1);
        break;
    case KeyRole::Rest:
        rest();
        break;
    case KeyRole::Stop:
        stop();
        break;
    case KeyRole::Note: {
        const NoteKey *k = KeyTable::lookup(keyCode);
        playNote(k->offset, k->code);
        break;
    }
    default:
        // Chords, effects and the rhythm keypad belong to the main window.
        break;
    }
}

void MiniKeyboard::combination(int row)
{
    const InstrumentCombination *c = MelodyVoices::combination(row);
    if (!c)
        return;
    SharedState &s = ctx_.state;
    for (int i = 0; i < 3; ++i) {
        const qint16 position = c->positions[size_t(i)];
        s.VoiceInstrument[size_t(i)] = position;
        if (position != 0)
            ctx_.port.ProgramChange(qint16(i), 0, qint16(position - 1));
    }
}

void MiniKeyboard::rest()
{
    SharedState &s = ctx_.state;
    SilenceMelodyNote(s, ctx_.port);
    AppendScoreCode(s, QStringLiteral("XZ"));
    timer1_.restart();
    s.DurationCount = 0;
}

void MiniKeyboard::stop()
{
    SharedState &s = ctx_.state;
    timer1_.setEnabled(false);
    SilenceMelodyNote(s, ctx_.port);
    // Written also into an empty score.
    s.ScoreText += QString::number(s.DurationCount) + QStringLiteral("TZ");
    showUp(s.LastNoteOffset);
    emit stopped();
}

void MiniKeyboard::playNote(int offset, const char *code)
{
    SharedState &s = ctx_.state;
    s.CurrentNoteOffset = qint16(offset);
    setColour(offset, kWhitePressed);
    if (s.LastNoteOffset != offset)
        showUp(s.LastNoteOffset);
    AppendScoreCode(s, QString::fromLatin1(code));
    timer1_.restart();  // the new note's duration counts from this press
    s.DurationCount = 0;
    sound(offset);
    s.LastNoteOffset = qint16(offset);
}

void MiniKeyboard::strike(int offset)
{
    if (!validOffset(offset))
        return;
    SharedState &s = ctx_.state;
    sound(offset);
    setColour(offset, boxIsWhite(offset) ? kWhitePressed : kBlackPressed);
    if (s.LastNoteOffset != offset)
        showUp(s.LastNoteOffset);
    s.LastNoteOffset = qint16(offset);
}

void MiniKeyboard::sound(int offset)
{
    // Only the melody channels: the chord channels are never touched here.
    SharedState &s = ctx_.state;
    SilenceMelodyNote(s, ctx_.port);
    const VoiceMask voices{s.VoiceInstrument[0] > 0, s.VoiceInstrument[1] > 0, s.VoiceInstrument[2] > 0};
    StartMelodyNote(s, ctx_.port, offset, voices);
}

void MiniKeyboard::mutePadTouched()
{
    SilenceMelodyNote(ctx_.state, ctx_.port);
    emit muted();
}

void MiniKeyboard::writeInputNote(const NoteKey &key)
{
    SharedState &s = ctx_.state;
    s.CurrentNoteOffset = key.offset;
    AppendScoreCode(s, QString::fromLatin1(key.code));
    timer1_.restart();
    s.DurationCount = 0;
}

void MiniKeyboard::showInputKey(int offset, bool down)
{
    if (!validOffset(offset))
        return;
    if (down)
        setColour(offset, boxIsWhite(offset) ? kWhitePressed : kBlackPressed);
    else
        showUp(offset);
}

void MiniKeyboard::onDurationTick()
{
    // A note held for 100 ticks ends the score by itself.
    if (!CountDurationTick(ctx_.state))
        return;
    timer1_.setEnabled(false);
    SilenceMelodyNote(ctx_.state, ctx_.port);
}

void MiniKeyboard::stopDurationTick()
{
    timer1_.setEnabled(false);
}

void MiniKeyboard::clearClicked()
{
    ctx_.state.ScoreText.clear();
    emit choiceMade();
}

void MiniKeyboard::handBack()
{
    if (keepReplacedScore && mainDisplay_.text3Unsaved() && mainDisplay_.Text3() != ctx_.state.ScoreText)
        keepReplacedScore(mainDisplay_.Text3());
    mainDisplay_.setText3(ctx_.state.ScoreText);
    emit handedBack();
}

quint32 MiniKeyboard::boxColour(int offset) const
{
    return validOffset(offset) ? colours_[size_t(offset)] : kWhiteUp;
}

bool MiniKeyboard::boxIsWhite(int offset) const
{
    return validOffset(offset) ? white_[size_t(offset)] : true;
}

void MiniKeyboard::showUp(int offset)
{
    if (validOffset(offset))
        setColour(offset, boxIsWhite(offset) ? kWhiteUp : kBlackUp);
}

void MiniKeyboard::setColour(int offset, quint32 colour)
{
    if (!validOffset(offset))
        return;
    colours_[size_t(offset)] = colour;
    emit boxColourChanged(offset, colour);
}
