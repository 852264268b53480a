#include "rhythm/RhythmSequencer.h"

#include "core/Session.h"
#include "core/Clock.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "rhythm/RhythmPattern.h"
#include "midiport/MidiPort.h"

namespace {
constexpr int kDesignIntervalMs = 500;  // replaced before the timer is first used
constexpr int kKeypad0 = 96;
constexpr int kKeypad9 = 105;
}

RhythmSequencer::RhythmSequencer(Session &ctx, WindowDisplay &display, RhythmPattern &pattern, QObject *parent)
    : QObject(parent), ctx_(ctx), display_(display), pattern_(pattern),
      bzds_(ctx.clock, QStringLiteral("BZDS"), kDesignIntervalMs, this)
{
    bzds_.onTick = [this] { onBzdsTick(); };
}

QString RhythmSequencer::BzQdCaption() const
{
    return bzQd_ ? QStringLiteral("停止") : QStringLiteral("启动");
}

QString RhythmSequencer::Check5Caption() const
{
    return QStringLiteral("自动同步");
}

void RhythmSequencer::setBzQd(bool set)
{
    if (set == bzQd_)
        return;
    bzQd_ = set;
    if (set) {
        // Step 0 and the ticks after it share one time line.
        Clock::TickScope scope(ctx_.clock);
        bzds_.setInterval(2 * ctx_.state.EighthBeatMs);
        ctx_.state.StepIndex = 0;
        Bzfs();
        if (!bzQd_)
            return;  // stopped meanwhile (a box shown while the step played)
        bzds_.restart();
    } else {
        bzds_.setEnabled(false);
    }
    emit bzQdChanged(set);
    emit choiceMade();
}

void RhythmSequencer::setCheck5(bool set)
{
    if (set == check5_)
        return;
    check5_ = set;
    if (set)
        bzds_.setInterval(4 * ctx_.state.EighthBeatMs);
    emit check5Changed(set);
}

void RhythmSequencer::Bzfs()
{
    pattern_.rebuildSteps();
    ctx_.port.PlayRhythmStep(ctx_.state.Steps, ctx_.state.StepIndex);
}

void RhythmSequencer::onBzdsTick()
{
    playAndAdvance();
}

void RhythmSequencer::RhythmClockTick()
{
    if (!check5_ && !bzQd_)
        return;
    bzds_.setEnabled(false);
    playAndAdvance();
}

void RhythmSequencer::playAndAdvance()
{
    // A MIDI error box runs a nested event loop in which ticks keep coming;
    // they are dropped instead of stacking boxes.
    if (inStep_)
        return;
    inStep_ = true;
    // The step at StepIndex is played as it stands, even past a pattern that
    // has shrunk (the table's bounds still hold); only then does the index
    // wrap, so the rhythm keeps its place against the melody.
    ctx_.port.PlayRhythmStep(ctx_.state.Steps, ctx_.state.StepIndex);
    qint16 &index = ctx_.state.StepIndex;
    index = (index < 0 || index >= pattern_.LastStep()) ? qint16(0) : qint16(index + 1);
    inStep_ = false;
}

void RhythmSequencer::ZDJP()
{
    const int code = ctx_.state.LastKeyCode;
    if (code == kKeypad0) {
        setBzQd(false);
        display_.setXSWB(QStringLiteral("停止软件自带节奏"));
    } else if (code > kKeypad0 && code <= kKeypad9) {
        const int n = code - kKeypad0;
        applyBuiltInRhythm(n);
        setBzQd(true);
        display_.setXSWB(QStringLiteral("启动软件自带") + RhythmPattern::builtInRhythmName(n));
    }
}

bool RhythmSequencer::applyBuiltInRhythm(int n)
{
    if (n < 1 || n > RhythmPattern::kBuiltInCount)
        return false;
    ctx_.state.RhythmText = RhythmPattern::builtInRhythmText(n);
    return pattern_.OpenJZwj();
}

void RhythmSequencer::setEighthBeatMs(int eighthBeatMs)
{
    bzds_.setInterval(2 * eighthBeatMs);
}
