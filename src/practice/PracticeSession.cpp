#include "practice/PracticeSession.h"

#include "core/Clock.h"
#include "core/MidiMessage.h"
#include "core/Session.h"
#include "core/SharedState.h"
#include "midiport/MidiPort.h"
#include "performance/KeyTable.h"
#include "performance/MelodyVoices.h"
#include "performance/TempoList.h"
#include "practice/PracticeHistory.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNsPerMs = 1e6;
constexpr double kNever = std::numeric_limits<double>::infinity();
constexpr double kSameMs = 1e-6;
// The count-in's click: the percussion channel's wood blocks, high on the
// bar's first beat, low on the others.
constexpr int kClickFirst = 76;
constexpr int kClickOther = 77;
constexpr int kClickAccent = 20;  // the bar's first beat, louder
constexpr double kClickLengthMs = 60;

}  // namespace

PracticeNotes::PracticeNotes(PracticeSession &session) : HardwareNoteTarget(&session), session_(session) { }

qint16 PracticeNotes::fullVelocity(int channel) const
{
    return session_.voiceVelocity(channel);
}

void PracticeNotes::showKey(int offset, bool down)
{
    session_.midiKey(offset, down);
}

PracticeSession::PracticeSession(Session &ctx, const MelodyVoices &voices, QObject *parent)
    : QObject(parent), ctx_(ctx), voices_(voices), midiNotes_(*this),
      timer_(ctx.clock, QStringLiteral("PracticeClock"))
{
    timer_.onTick = [this] { onTick(); };
}

PracticeSession::~PracticeSession()
{
    timer_.onTick = nullptr;
    timer_.setEnabled(false);
    silenceAccompaniment();
    if (pressedOffset_ >= 0)
        release(pressedOffset_);
}

bool PracticeSession::setScore(const QString &score, const QString &name, const ScoreRender::Start &start,
                               int beatsPerBar)
{
    stop();
    name_ = name.trimmed().isEmpty() ? QStringLiteral("未命名乐谱") : name.trimmed();
    prepared_ = Practice::prepare(score, ctx_.recordFolder, start);
    Notation::Options options;
    options.beatsPerBar = beatsPerBar;
    options.tempo = TempoList::tempoAt(start.tempoPosition >= 0 ? start.tempoPosition : TempoList::kStartPosition);
    sheet_ = Notation::read(score, options);
    history_ = Practice::History::accuracies(ctx_.recordFolder, name_);
    hasResult_ = false;
    problem_.clear();
    notice_.clear();
    grader_.reset();
    if (!prepared_.practisable()) {
        problem_ = prepared_.emptyReason();
        passage_ = Practice::Passage();
        barCount_ = 0;
        state_ = State::Empty;
        emit changed();
        return false;
    }
    notice_ = prepared_.partNotice();
    barCount_ = Practice::noteBars(prepared_, sheet_).constLast() + 1;
    firstBar_ = 0;
    lastBar_ = barCount_ - 1;
    passage_ = Practice::passage(prepared_, sheet_, firstBar_, lastBar_);
    readyAgain();
    return true;
}

void PracticeSession::setMode(Practice::Mode mode)
{
    mode_ = mode;
    readyAgain();
}

void PracticeSession::setSpeed(int speed)
{
    speed_ = qBound(Practice::kMinSpeed, speed, Practice::kMaxSpeed);
    readyAgain();
}

bool PracticeSession::setBars(int first, int last)
{
    if (state_ == State::Empty || first < 0 || last < first || last >= barCount_)
        return false;
    const Practice::Passage p = Practice::passage(prepared_, sheet_, first, last);
    if (p.isEmpty())
        return false;
    firstBar_ = first;
    lastBar_ = last;
    passage_ = p;
    readyAgain();
    return true;
}

void PracticeSession::start()
{
    if (state_ == State::Empty)
        return;
    readyAgain();
    beginRun(false);
}

void PracticeSession::restart()
{
    start();
}

void PracticeSession::demonstrate()
{
    if (state_ == State::Empty)
        return;
    const bool wasDemo = state_ == State::Demo;
    readyAgain();
    if (wasDemo)
        return;
    events_ = passageEvents(true);
    originNs_ = ctx_.clock.referenceNs();
    boundMs_ = kNever;
    endMs_ = toRunMs(passage_.endMs);
    state_ = State::Demo;
    Clock::TickScope scope(ctx_.clock);
    playDue(0, false);
    emit changed();
    schedule();
}

void PracticeSession::stop()
{
    if (state_ != State::Empty)
        readyAgain();
    if (pressedOffset_ >= 0)
        release(pressedOffset_);
}

void PracticeSession::readyAgain()
{
    timer_.setEnabled(false);
    silenceAccompaniment();
    clearEvents();
    grader_.reset();
    demoNote_ = -1;
    state_ = prepared_.practisable() ? State::Ready : State::Empty;
    emit changed();
}

void PracticeSession::clearEvents()
{
    events_.clear();
    nextEvent_ = 0;
}

double PracticeSession::toRunMs(double scoreMs) const
{
    return (scoreMs - passage_.startMs) * 100.0 / speed_;
}

QVector<PracticeSession::Event> PracticeSession::passageEvents(bool withMelody) const
{
    QVector<Event> events;
    const auto inPassage = [this](qint64 ns) {
        const double ms = double(ns) / kNsPerMs;
        return ms >= passage_.startMs - kSameMs && ms < passage_.endMs - kSameMs;
    };
    for (const TimedMidiMessage &m : prepared_.accompaniment) {
        if (inPassage(m.ns))
            events << Event{toRunMs(double(m.ns) / kNsPerMs), m.message};
    }
    if (withMelody) {
        for (int i = passage_.firstNote; i < passage_.firstNote + passage_.noteCount; ++i) {
            const Practice::Note &n = prepared_.notes[i];
            events << Event{toRunMs(n.ms), MidiMessage::make(Midi::NoteOn, 0, n.pitch, 1), true, i};
        }
        for (const TimedMidiMessage &m : prepared_.melody) {
            if (!m.message.isNoteOn() && inPassage(m.ns))
                events << Event{toRunMs(double(m.ns) / kNsPerMs), m.message, true};
        }
    }
    // In time; at one moment what ends before what begins.
    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
        if (std::abs(a.ms - b.ms) > kSameMs)
            return a.ms < b.ms;
        return !a.message.isNoteOn() && b.message.isNoteOn();
    });
    return events;
}

void PracticeSession::beginRun(bool atFirstNote)
{
    Clock::TickScope scope(ctx_.clock);
    silenceAccompaniment();
    QVector<Practice::Note> expected;
    for (int i = passage_.firstNote; i < passage_.firstNote + passage_.noteCount; ++i)
        expected << Practice::Note{toRunMs(prepared_.notes[i].ms), prepared_.notes[i].pitch};
    grader_.emplace(mode_, expected, speed_);
    events_ = passageEvents(false);
    nextEvent_ = 0;
    const qint64 now = ctx_.clock.referenceNs();
    if (mode_ == Practice::Mode::Tempo) {
        // One bar of clicks at the tempo of the passage's first note.
        const int eighth = passage_.eighthMs > 0 ? passage_.eighthMs : ctx_.state.EighthBeatMs;
        beats_ = qMax(1, sheet_.beatsPerBar);
        beatMs_ = 8.0 * eighth * 100.0 / speed_;
        QVector<Event> clicks;
        for (int b = 0; b < beats_; ++b) {
            const double at = -beatMs_ * (beats_ - b);
            const int note = b == 0 ? kClickFirst : kClickOther;
            const int velocity = qMin(127, clickVelocity_ + (b == 0 ? kClickAccent : 0));
            clicks << Event{at, MidiMessage::make(Midi::NoteOn, Midi::kPercussionChannel, note, velocity)};
            clicks << Event{at + qMin(kClickLengthMs, beatMs_ / 2),
                            MidiMessage::make(Midi::NoteOff, Midi::kPercussionChannel, note)};
        }
        events_ = clicks + events_;
        std::stable_sort(events_.begin(), events_.end(), [](const Event &a, const Event &b) { return a.ms < b.ms - kSameMs; });
        originNs_ = now + qint64(std::llround(beats_ * beatMs_ * kNsPerMs));
        boundMs_ = kNever;
        endMs_ = expected.constLast().ms + Practice::kHitWindowMs;
        state_ = State::CountIn;
        playDue(nowMs(), false);
    } else {
        state_ = State::Running;
        boundMs_ = expected.constFirst().ms;
        // Begun by the first note itself: the lead-in is skipped.
        const double at = atFirstNote ? expected.constFirst().ms : 0.0;
        originNs_ = now - qint64(std::llround(at * kNsPerMs));
        playDue(at, atFirstNote);
    }
    emit changed();
    schedule();
}

double PracticeSession::nowMs() const
{
    return double(ctx_.clock.referenceNs() - originNs_) / kNsPerMs;
}

void PracticeSession::press(int offset)
{
    Clock::TickScope scope(ctx_.clock);
    if (pressedOffset_ >= 0)
        release(pressedOffset_);
    const int pitch = ctx_.state.KeyBase + offset;
    if (pitch < 0 || pitch > 127)
        return;
    // Sound first: the judging and the pictures can wait a moment.
    for (int c = 0; c < 3; ++c) {
        const qint16 velocity = voiceVelocity(c);
        pressedChannels_[size_t(c)] = velocity > 0;
        if (velocity > 0)
            ctx_.port.NoteOn(qint16(c), qint16(pitch), velocity);
    }
    pressedOffset_ = offset;
    pressedPitch_ = pitch;
    emit keyShown(offset, true);
    judge(pitch);
}

void PracticeSession::release(int offset)
{
    if (offset != pressedOffset_ || pressedOffset_ < 0)
        return;
    for (int c = 0; c < 3; ++c) {
        if (pressedChannels_[size_t(c)])
            ctx_.port.NoteOff(qint16(c), qint16(pressedPitch_));
    }
    pressedChannels_ = {};
    pressedOffset_ = -1;
    pressedPitch_ = -1;
    emit keyShown(offset, false);
}

void PracticeSession::midiKey(int offset, bool down)
{
    emit keyShown(offset, down);
    if (down)
        judge(ctx_.state.KeyBase + offset);
}

qint16 PracticeSession::voiceVelocity(int channel) const
{
    if (channel < 0 || channel >= 3 || !voices_.voiceSounds(channel))
        return 0;
    return ctx_.state.VoiceVelocity[size_t(channel)];
}

void PracticeSession::judge(int pitch)
{
    switch (state_) {
    case State::Empty:
    case State::Demo:
        return;
    case State::Ready:
    case State::Finished:
        // 跟节奏 starts with its count-in; the others with the first note.
        if (mode_ == Practice::Mode::Tempo)
            return;
        beginRun(true);
        break;
    case State::CountIn:
    case State::Running:
        break;
    }
    const double ms = nowMs();
    const bool tempo = mode_ == Practice::Mode::Tempo;
    if (tempo)
        grader_->passTime(ms);
    const int before = grader_->current();
    const Practice::Judgement j = grader_->play({ms, pitch});
    const bool right = j.verdict == Practice::Verdict::Right || j.verdict == Practice::Verdict::Hit;
    const int at = j.expected >= 0 ? j.expected : before;
    emit judged(pitch, right, at >= 0 ? passage_.firstNote + at : -1);
    // The accompaniment goes on from the note reached (after the last one,
    // to the passage's end, while the result is shown).
    if (!tempo && grader_->current() != before)
        reachNote(before);
    if (grader_->done()) {
        finish();
        return;
    }
    emit changed();
}

void PracticeSession::reachNote(int note)
{
    const QVector<Practice::Note> &expected = grader_->expected();
    originNs_ = ctx_.clock.referenceNs() - qint64(std::llround(expected[note].ms * kNsPerMs));
    const int next = grader_->current();
    boundMs_ = next >= 0 ? expected[next].ms : toRunMs(passage_.endMs);
    // Played ahead of the music: what it skipped stops, nothing of it starts.
    Clock::TickScope scope(ctx_.clock);
    playDue(expected[note].ms, true);
    schedule();
}

void PracticeSession::finish()
{
    if (mode_ == Practice::Mode::Tempo) {
        // The notes whose time has come to its end are missed.
        grader_->passTime(kNever);
        timer_.setEnabled(false);
        silenceAccompaniment();
        clearEvents();
    } else {
        // The last note's accompaniment plays on to the passage's end.
        endMs_ = toRunMs(passage_.endMs);
    }
    lastResult_ = grader_->result();
    hasResult_ = true;
    state_ = State::Finished;
    recordError_.clear();
    if (ctx_.recordFolder.isEmpty()) {
        recordError_ = QStringLiteral("没有演奏记录文件夹");
    } else {
        const QString line = Practice::History::line(QDateTime::currentDateTime(), name_, lastResult_);
        QString reason;
        if (!Practice::History::append(ctx_.recordFolder, line, &reason))
            recordError_ = reason;
    }
    history_ << lastResult_.accuracy;
    emit finished();
    emit changed();
    if (looping_)
        beginRun(false);
    else if (mode_ != Practice::Mode::Tempo)
        schedule();
}

void PracticeSession::onTick()
{
    const double ms = nowMs();
    if (state_ == State::CountIn && ms >= -kSameMs) {
        state_ = State::Running;
        emit changed();
    }
    playDue(ms, false);
    if (state_ == State::Running && mode_ == Practice::Mode::Tempo) {
        const bool missed = !grader_->passTime(ms).isEmpty();
        if (ms >= endMs_ - kSameMs || grader_->done()) {
            finish();
            return;
        }
        if (missed)
            emit changed();
    }
    if (state_ == State::Demo && ms >= endMs_ - kSameMs) {
        readyAgain();
        return;
    }
    if (state_ == State::Finished && ms >= endMs_ - kSameMs) {
        timer_.setEnabled(false);
        silenceAccompaniment();
        clearEvents();
        return;
    }
    schedule();
}

void PracticeSession::playDue(double ms, bool catchingUp)
{
    while (nextEvent_ < events_.size()) {
        const Event &e = events_[nextEvent_];
        if (e.ms > ms + kSameMs || e.ms >= boundMs_ - kSameMs)
            break;
        ++nextEvent_;
        if (catchingUp && e.ms < ms - kSameMs && e.message.isNoteOn())
            continue;
        send(e);
    }
}

void PracticeSession::schedule()
{
    double next = kNever;
    if (nextEvent_ < events_.size() && events_[nextEvent_].ms < boundMs_ - kSameMs)
        next = events_[nextEvent_].ms;
    if (state_ == State::CountIn)
        next = qMin(next, 0.0);
    if (state_ == State::Running && mode_ == Practice::Mode::Tempo) {
        const int c = grader_->current();
        if (c >= 0)
            next = qMin(next, grader_->expected()[c].ms + Practice::kHitWindowMs + 1);
        next = qMin(next, endMs_);
    }
    if (state_ == State::Demo || state_ == State::Finished)
        next = qMin(next, endMs_);
    timer_.setEnabled(false);
    if (next == kNever)
        return;
    const qint64 dueNs = originNs_ + qint64(std::ceil(next * kNsPerMs));
    const qint64 waitNs = dueNs - ctx_.clock.referenceNs();
    timer_.setInterval(int(qMax<qint64>(1, (waitNs + 999999) / 1000000)));
    timer_.setEnabled(true);
}

void PracticeSession::send(const Event &e)
{
    const MidiMessage &m = e.message;
    if (e.melody) {
        if (m.isNoteOn()) {
            melodyOn(m.data1);
            demoNote_ = e.note;
            emit changed();
        } else {
            melodyOff(m.data1);
        }
        return;
    }
    const int key = m.channel() << 8 | m.data1;
    if (m.isNoteOn())
        accompanimentSounding_.insert(key);
    else if (m.isNoteOff())
        accompanimentSounding_.remove(key);
    ctx_.port.SendShortMessage(m.status, m.data1, m.data2);
}

void PracticeSession::melodyOn(int pitch)
{
    for (int c = 0; c < 3; ++c) {
        const qint16 velocity = voiceVelocity(c);
        if (velocity > 0)
            ctx_.port.NoteOn(qint16(c), qint16(pitch), velocity);
    }
    melodySounding_ << pitch;
    emit keyShown(pitch - ctx_.state.KeyBase, true);
}

void PracticeSession::melodyOff(int pitch)
{
    if (!melodySounding_.removeOne(pitch))
        return;
    for (int c = 0; c < 3; ++c)
        ctx_.port.NoteOff(qint16(c), qint16(pitch));
    emit keyShown(pitch - ctx_.state.KeyBase, false);
}

void PracticeSession::silenceAccompaniment()
{
    const QSet<int> sounding = accompanimentSounding_;
    accompanimentSounding_.clear();
    for (int key : sounding)
        ctx_.port.NoteOff(qint16(key >> 8), qint16(key & 0x7F));
    while (!melodySounding_.isEmpty())
        melodyOff(melodySounding_.constFirst());
}

int PracticeSession::currentNote() const
{
    switch (state_) {
    case State::Demo:
        return demoNote_;
    case State::Ready:
        return passage_.noteCount > 0 ? passage_.firstNote : -1;
    case State::CountIn:
    case State::Running: {
        const int c = grader_ ? grader_->current() : -1;
        return c < 0 ? -1 : passage_.firstNote + c;
    }
    default:
        return -1;
    }
}

int PracticeSession::offsetOf(int note) const
{
    if (note < 0 || note >= prepared_.notes.size())
        return -1;
    return prepared_.notes[note].pitch - ctx_.state.KeyBase;
}

Practice::Outcome PracticeSession::outcome(int note) const
{
    if (!grader_)
        return Practice::Outcome::Pending;
    return grader_->outcome(note - passage_.firstNote);
}

double PracticeSession::fill() const
{
    if (!running() || mode_ != Practice::Mode::Tempo || !grader_)
        return 0;
    const int c = grader_->current();
    if (c < 0)
        return 0;
    const QVector<Practice::Note> &expected = grader_->expected();
    const double from = c > 0 ? expected[c - 1].ms : -beats_ * beatMs_;
    const double to = expected[c].ms;
    if (to - from <= kSameMs)
        return 1;
    return qBound(0.0, (nowMs() - from) / (to - from), 1.0);
}

int PracticeSession::countInBeat() const
{
    if (state_ != State::CountIn || beatMs_ <= 0)
        return 0;
    return qBound(1, int(std::floor((nowMs() + beats_ * beatMs_) / beatMs_)) + 1, beats_);
}

QString PracticeSession::computerKey(int offset)
{
    const NoteKey *key = KeyTable::keyForOffset(offset);
    if (!key)
        return QString();
    switch (key->keyCode) {
    case 0xBD:
        return QStringLiteral("-");
    case 0xBB:
        return QStringLiteral("=");
    case 0xDC:
        return QStringLiteral("\\");
    default:
        return QString(QChar(key->keyCode));
    }
}

QString PracticeSession::degree(int offset)
{
    static const char *const octaves[] = {"最低音", "低音", "中音", "高音", "最高音"};
    int digit = 0;
    int octave = 0;
    if (!Notation::digitOf(KeyTable::offsetToCode(offset), &digit, &octave) || octave < -2 || octave > 2)
        return KeyTable::keyName(offset);
    return QString::fromUtf8(octaves[octave + 2]) + QString::number(digit);
}
