#include "performance/KeyboardEngine.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "performance/KeyTable.h"
#include "performance/KeyboardPartners.h"
#include "performance/MelodyVoices.h"
#include "performance/OnScreenKeyboard.h"
#include "performance/ScoreWriting.h"
#include "performance/VoiceNotes.h"
#include "resources/StringTable.h"
#include "midiport/MidiPort.h"

KeyboardEngine::KeyboardEngine(Session &ctx, WindowDisplay &display, MelodyVoices &voices,
                               OnScreenKeyboard &keys, KeyboardPartners &partners, QObject *parent)
    : QObject(parent), ctx_(ctx), display_(display), voices_(voices), keys_(keys), partners_(partners),
      timer1_(ctx.clock, QStringLiteral("Timer1"), kTickMs, this)
{
    timer1_.onTick = [this] { onDurationTick(); };
}

void KeyboardEngine::keyPressed(int keyCode)
{
    if (away_)
        return;
    ctx_.state.LastKeyCode = qint16(keyCode);
    switch (KeyTable::roleOf(keyCode)) {
    case KeyRole::Combination:
        combination(keyCode - KeyTable::kF1 + 1);
        break;
    case KeyRole::Stop:
        stop();
        break;
    case KeyRole::Rest:
        rest();
        break;
    case KeyRole::Chord:
        partners_.HXQD();
        break;
    case KeyRole::Effect:
        partners_.TSYX();
        break;
    case KeyRole::Rhythm:
        partners_.ZDJP();
        break;
    case KeyRole::Note: {
        const NoteKey *k = KeyTable::lookup(keyCode);
        playNote(k->offset, k->code, k->helpId);
        break;
    }
    case KeyRole::None:
        break;
    }
}

void KeyboardEngine::appendCode(const QString &code)
{
    AppendScoreCode(ctx_.state, code);
}

void KeyboardEngine::showScore()
{
    display_.setText3(ctx_.state.ScoreText);
}

void KeyboardEngine::playNote(int offset, const char *code, int helpId)
{
    SharedState &s = ctx_.state;
    s.CurrentNoteOffset = qint16(offset);
    display_.setXSWB(StringTable::text(helpId));
    keys_.showPressed(offset);
    if (s.LastNoteOffset != offset)
        keys_.showUp(s.LastNoteOffset);
    writeCode(code);
    SilenceMelodyNote(s, ctx_.port);
    StartMelodyNote(s, ctx_.port, offset, voices_.soundingVoices());
    s.LastNoteOffset = qint16(offset);
}

void KeyboardEngine::writeCode(const char *code)
{
    appendCode(QString::fromLatin1(code));
    showScore();
    partners_.clearScorePlaying();
    timer1_.restart();  // the new note's duration counts from this press
    ctx_.state.DurationCount = 0;
}

void KeyboardEngine::writeInputNote(const NoteKey &key)
{
    if (away_)
        return;
    ctx_.state.CurrentNoteOffset = key.offset;
    display_.setXSWB(StringTable::text(key.helpId));
    writeCode(key.code);
}

void KeyboardEngine::rest()
{
    SharedState &s = ctx_.state;
    SilenceMelodyNote(s, ctx_.port);
    display_.setXSWB(StringTable::text(StringTable::kFirstKeyHelp));
    appendCode(QStringLiteral("XZ"));
    timer1_.restart();
    s.DurationCount = 0;
    showScore();
}

void KeyboardEngine::stop()
{
    SharedState &s = ctx_.state;
    timer1_.setEnabled(false);
    SilenceMelodyNote(s, ctx_.port);
    partners_.stopRhythm();
    if (!s.ScoreText.isEmpty())
        s.ScoreText += QString::number(s.DurationCount) + QStringLiteral("TZ");
    keys_.showUp(s.LastNoteOffset);
    showScore();
    partners_.resetPlayCaption();
    partners_.clearScorePlaying();
    emit stopped();
}

void KeyboardEngine::combination(int row)
{
    const InstrumentCombination *c = MelodyVoices::combination(row);
    if (!c)
        return;
    voices_.applyCombination(row);
    display_.setXSWB(QStringLiteral("你已经选择了\r\n       乐器组合") + QString::fromUtf8(c->word));
    emit choiceMade();
}

void KeyboardEngine::onDurationTick()
{
    // A note held for 100 ticks ends the score by itself.
    if (!CountDurationTick(ctx_.state))
        return;
    showScore();
    timer1_.setEnabled(false);
    partners_.SilenceScoreNotes();
}

void KeyboardEngine::focusGained()
{
    if (!away_)
        keys_.setKeysEnabled(true);
}

void KeyboardEngine::focusLost()
{
    keys_.setKeysEnabled(false);
}

void KeyboardEngine::buttonClicked()
{
    display_.setFJWZ(QStringLiteral("现在允许演奏。。。"));
    emit focusRequested();
}

void KeyboardEngine::stopDurationTick()
{
    timer1_.setEnabled(false);
}

void KeyboardEngine::setAway(bool away)
{
    away_ = away;
    if (!away)
        return;
    keys_.setKeysEnabled(false);
    // Its count would run on into the other window's score.
    stopDurationTick();
    if (ctx_.state.SoundingMelodyNote >= 0)
        SilenceMelodyNote(ctx_.state, ctx_.port);
}
