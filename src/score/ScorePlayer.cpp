#include "score/ScorePlayer.h"

#include "chords/ChordAccompaniment.h"
#include "chords/SoundEffects.h"
#include "core/Clock.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "platform/dialogs/UserDialogs.h"
#include "performance/VoiceNotes.h"
#include "score/ScoreLanguage.h"
#include "score/ScoreReader.h"
#include "midiport/MidiPort.h"

using ScoreReader::ReadResult;
using ScoreReader::TokenKind;

namespace {

const QString kPlay = QStringLiteral("试听");
const QString kStop = QStringLiteral("停止");

}  // namespace

ScorePlayer::ScorePlayer(Session &ctx, WindowDisplay &display, ChordAccompaniment &chords,
                         SoundEffects &effects, ScoreMelody &melody, ScoreRhythm &rhythm,
                         QObject *parent)
    : QObject(parent),
      ctx_(ctx),
      display_(display),
      chords_(chords),
      effects_(effects),
      melody_(melody),
      rhythm_(rhythm),
      timer3_(ctx.clock, QStringLiteral("Timer3"), 0, this),
      playCaption_(kPlay)
{
    timer3_.onTick = [this] { onClockTick(); };
}

QString ScorePlayer::playingHint()
{
    return QStringLiteral("正在进行自动演奏,点击<保存>按钮可把音乐保存为txt格式的乐谱文件！");
}

QString ScorePlayer::errorMessage()
{
    return QStringLiteral("乐谱中出现错误，请修改！");
}

QString ScorePlayer::playingStatus()
{
    return QStringLiteral("自动演奏中。。。");
}

QString ScorePlayer::endedStatus()
{
    return QStringLiteral("自动演奏结束。。。");
}

bool ScorePlayer::buttonEnabled(int index) const
{
    return index >= 0 && index < kButtonCount && buttonsEnabled_[size_t(index)];
}

void ScorePlayer::setButtonEnabled(int index, bool enabled)
{
    if (index < 0 || index >= kButtonCount || buttonsEnabled_[size_t(index)] == enabled)
        return;
    buttonsEnabled_[size_t(index)] = enabled;
    emit buttonEnabledChanged(index, enabled);
}

// ---- the play button ---------------------------------------------------

void ScorePlayer::playMouseDown()
{
    stopClock();
    SilenceScoreNotes();
    setRhythmTimerEnabled(false);
    setPlayCaption(kPlay);
}

void ScorePlayer::playClicked()
{
    if (scorePlaying_) {
        stopClock();
        SilenceScoreNotes();
        setRhythmTimerEnabled(false);
        setBzQd(false);
        setPlayCaption(kPlay);
        setPlaying(false);
        setEnding(Ending::Stopped);
        return;
    }

    const QString text = display_.Text3().toUpper();
    if (!ScoreReader::withinLengthLimit(text)) {
        ctx_.dialogs.message(ScoreReader::tooLongMessage());
        return;
    }

    // The first note and the ticks after it share one time line.
    Clock::TickScope scope(ctx_.clock);
    melody_.showKeyUp(ctx_.state.LastNoteOffset);
    scorePos_ = 1;
    display_.setText3(text);
    ctx_.state.ScoreText = text;
    setPlayCaption(kStop);
    display_.setXSWB(playingHint());
    if (check5()) {
        ctx_.state.StepIndex = 0;
        setBzQd(true);
    }
    setRhythmTimerEnabled(false);  // the clock drives the rhythm from now on
    setPlaying(true);
    ending_ = Ending::Playing;
    YSCX();
}

void ScorePlayer::startFromFile()
{
    if (!ScoreReader::withinLengthLimit(ctx_.state.ScoreText)) {
        stopClock();
        ctx_.dialogs.message(ScoreReader::tooLongMessage());
        return;
    }
    Clock::TickScope scope(ctx_.clock);
    rhythm_.hideRhythmFileList();
    scorePos_ = 1;
    setPlaying(true);
    ending_ = Ending::Playing;
    setPlayCaption(kStop);
    if (check5())
        rhythm_.Bzfs();
    display_.setXSWB(playingHint());
    display_.setFJWZ(playingStatus());
    YSCX();
}

void ScorePlayer::clearScorePlaying()
{
    setPlaying(false);
}

void ScorePlayer::showIdleCaption()
{
    setPlayCaption(kPlay);
}

// ---- the clock -----------------------------------------------------------

void ScorePlayer::onClockTick()
{
    // A box opened inside a tick (a MIDI error) runs a nested event loop in
    // which the clock may fire again; that tick is dropped, never nested.
    if (inTick_)
        return;
    inTick_ = true;
    if (clockParity_ == 0)
        rhythm_.RhythmClockTick();
    ++tickCount_;
    if (tickCount_ == currentDuration_)
        YSCX();
    if (scorePlaying_)  // a clock the keyboard took over plays no score
        display_.setFJWZ(playingStatus());
    if (++clockParity_ > 1)
        clockParity_ = 0;
    inTick_ = false;
}

void ScorePlayer::stopClock()
{
    timer3_.setInterval(0);
    timer3_.setEnabled(false);
}

void ScorePlayer::setClockInterval(int ms)
{
    timer3_.setInterval(ms);
}

void ScorePlayer::enableClock()
{
    timer3_.setEnabled(true);
}

// ---- the step --------------------------------------------------------------

void ScorePlayer::YSCX()
{
    // Commands that take no time run one after the other in this loop; every
    // token moves ScorePos on, so the loop ends at the latest at the end of
    // the text (with the error of its empty token).
    while (executeToken() == StepEnd::Continue) {
    }
}

ScorePlayer::StepEnd ScorePlayer::executeToken()
{
    if (scorePos_ < 1)
        scorePos_ = 1;
    // Show the place without taking the keyboard focus.
    display_.selectText3(scorePos_, 1);
    tokenStart_ = scorePos_;

    const QString text = ctx_.state.ScoreText;  // read afresh: it may grow while playing
    const ReadResult r = ScoreReader::readToken(text, scorePos_);
    scorePos_ = r.end;
    currentDuration_ = r.durationAfter(currentDuration_);
    const int n = r.number;
    SharedState &s = ctx_.state;

    switch (ScoreReader::kindOf(r)) {
    case TokenKind::Tempo:
        setClockInterval(0);
        tickCount_ = 0;
        ++scorePos_;
        if (!ScoreLanguage::isTempo(n)) {
            setEnding(Ending::Halted);
            return StepEnd::Wait;  // no tick comes until the user stops
        }
        melody_.selectTempo(ScoreLanguage::tempoListPosition(n));
        s.EighthBeatMs = qint16(ScoreLanguage::eighthBeatMsOf(n));
        return StepEnd::Continue;

    case TokenKind::Chord:
        chords_.chooseChordType(n);
        setClockInterval(0);
        ++scorePos_;
        tickCount_ = 0;
        chordRequest_ = true;
        return StepEnd::Continue;

    case TokenKind::Effect: {
        const qint16 keyCode = SoundEffects::keyCodeForYX(n);
        ++scorePos_;
        tickCount_ = 0;
        if (keyCode == 0) {
            setClockInterval(0);
            return StepEnd::Continue;
        }
        s.LastKeyCode = keyCode;
        setClockInterval(ScoreLanguage::effectTickLength(n) * s.EighthBeatMs);
        effects_.TSYX();
        enableClock();
        return StepEnd::Wait;
    }

    case TokenKind::Rhythm:
        rhythmCommand(n);
        setClockInterval(0);
        ++scorePos_;
        tickCount_ = 0;
        return StepEnd::Continue;

    case TokenKind::Instruments:
        melody_.applyCombination(ScoreLanguage::combinationOf(n));
        setClockInterval(0);
        ++scorePos_;
        tickCount_ = 0;
        return StepEnd::Continue;

    case TokenKind::Note:
        setClockInterval(s.EighthBeatMs);
        playNote(ScoreReader::noteOffset(r.token), int(text.size()));
        return StepEnd::Wait;

    case TokenKind::Rest:
        setClockInterval(s.EighthBeatMs);
        SilenceScoreNotes();
        enableClock();
        tickCount_ = 0;
        ++scorePos_;
        return StepEnd::Wait;

    case TokenKind::End:
        setClockInterval(s.EighthBeatMs);
        endCommand();
        return StepEnd::Wait;

    case TokenKind::Unrecognised:
        setClockInterval(s.EighthBeatMs);
        scoreError();
        return StepEnd::Wait;
    }
    return StepEnd::Wait;
}

void ScorePlayer::playNote(int offset, int textLength)
{
    SharedState &s = ctx_.state;
    s.CurrentNoteOffset = qint16(offset);
    if (scorePos_ > textLength - 1) {
        // The token with its number ends on the last character: the end of
        // the text, and this note is not sounded.
        endOfText();
        return;
    }
    SilenceScoreNotes();
    // In a score a voice sounds when its program is not 0.
    StartMelodyNote(s, ctx_.port, offset,
                    {s.VoiceInstrument[0] > 0, s.VoiceInstrument[1] > 0, s.VoiceInstrument[2] > 0});
    if (chordRequest_) {
        chords_.soundChord(chords_.ChordNotes());
        s.SoundingChordNotes = chords_.ChordNotes();
    }
    enableClock();
    chordRequest_ = false;
    s.LastNoteOffset = qint16(offset);
    tickCount_ = 0;
    ++scorePos_;
}

void ScorePlayer::endOfText()
{
    timer3_.setEnabled(false);
    SilenceScoreNotes();
    for (int i = 0; i < kButtonCount; ++i)
        setButtonEnabled(i, true);
    setPlaying(false);
    setPlayCaption(kPlay);
    tickCount_ = 0;
    ++scorePos_;
    setEnding(Ending::EndOfText);
}

void ScorePlayer::endCommand()
{
    stopClock();
    SilenceScoreNotes();
    if (check5())
        setRhythmTimerEnabled(false);
    setBzQd(false);
    setPlayCaption(kPlay);
    scorePos_ = 1;
    setPlaying(false);
    tickCount_ = 0;
    setEnding(Ending::Finished);
    melody_.showKeyUp(ctx_.state.LastNoteOffset);
}

void ScorePlayer::scoreError()
{
    SilenceScoreNotes();
    // The clock stops before the box opens: the box runs its own event loop,
    // and no tick may play on behind it.
    stopClock();
    setPlayCaption(kPlay);
    setPlaying(false);
    tickCount_ = 0;
    // ScorePos stays on the faulty token, which the score box shows selected.
    errorPosition_ = tokenStart_;
    setEnding(Ending::Error);
    ctx_.dialogs.message(errorMessage(), programTitle());
}

void ScorePlayer::rhythmCommand(int n)
{
    switch (ScoreLanguage::rhythmCommand(n)) {
    case ScoreLanguage::RhythmCommand::BuiltIn:
        rhythm_.applyBuiltInRhythm(n);
        setBzQd(true);
        break;
    case ScoreLanguage::RhythmCommand::File:
        if (rhythm_.applyRhythmFile(n))
            setBzQd(true);
        break;
    case ScoreLanguage::RhythmCommand::Off:
        setBzQd(false);
        break;
    case ScoreLanguage::RhythmCommand::Nothing:
        break;
    }
}

// ---- notes, state ------------------------------------------------------------

void ScorePlayer::SilenceScoreNotes()
{
    chords_.SilenceScoreNotes();
}

void ScorePlayer::setPlaying(bool playing)
{
    if (playing == scorePlaying_)
        return;
    scorePlaying_ = playing;
    if (!playing)
        display_.setFJWZ(endedStatus());
}

void ScorePlayer::setEnding(Ending ending)
{
    ending_ = ending;
}

void ScorePlayer::setPlayCaption(const QString &caption)
{
    if (caption == playCaption_)
        return;
    playCaption_ = caption;
    emit playCaptionChanged(caption);
}

bool ScorePlayer::check5() const
{
    return rhythm_.check5();
}

void ScorePlayer::setBzQd(bool on)
{
    rhythm_.setBzQd(on);
}

void ScorePlayer::setRhythmTimerEnabled(bool enabled)
{
    rhythm_.setRhythmTimerEnabled(enabled);
}
