#include "performance/HardwareKeyboard.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "midiport/MidiPort.h"
#include "performance/KeyTable.h"

namespace {
constexpr int kSustain = 64;
constexpr int kModulation = 1;
constexpr int kAllSoundOff = 120;
}  // namespace

HardwareKeyboard::HardwareKeyboard(Session &ctx, WindowDisplay &mainDisplay, QObject *parent)
    : QObject(parent),
      ctx_(ctx),
      display_(mainDisplay)
{ }

void HardwareKeyboard::setTarget(HardwareNoteTarget *target)
{
    if (target == target_)
        return;
    silence();
    disconnect(silencedLink_);
    target_ = target;
    channels_ = target ? qBound(0, target->channels(), 3) : 0;
    writtenAt_ = -1;
    if (target)
        silencedLink_ = connect(target, &HardwareNoteTarget::silenced, this, &HardwareKeyboard::silence);
}

void HardwareKeyboard::receive(int source, const MidiMessage &m)
{
    if (!target_ || !m.isValidChannelMessage() || m.channel() == Midi::kPercussionChannel)
        return;
    Input &in = inputs_[source];
    if (m.isNoteOn())
        noteOn(in, m.data1, m.data2);
    else if (m.isNoteOff())
        noteOff(in, m.data1);
    else if (m.kind() == Midi::ControlChange)
        controller(in, m.data1, m.data2);
    else if (m.kind() == Midi::PitchBend)
        pitchBend(in, quint16(m.data1 | m.data2 << 7));
}

void HardwareKeyboard::noteOn(Input &in, int n, int velocity)
{
    Key &key = in.keys[size_t(n)];
    if (key.note >= 0)
        noteOff(in, n);  // struck again without a release in between
    const int offset = n - kOffsetZero;
    const int note = ctx_.state.KeyBase + offset;
    if (note < 0 || note > 127)
        return;
    // Sound first: the score and the pictures can wait a moment.
    for (int c = 0; c < channels_; ++c) {
        const int full = target_->fullVelocity(c);
        key.channels[size_t(c)] = full > 0;
        if (full > 0)
            ctx_.port.NoteOn(qint16(c), qint16(note), qint16(qBound(1, full * velocity / 127, 127)));
    }
    key.note = qint16(note);
    writeNote(offset);
    showKey(offset, true);
}

void HardwareKeyboard::writeNote(int offset)
{
    const NoteKey *code = target_->keyToWrite(offset);
    if (!code)
        return;
    if (target_->writingHeld()) {
        // Writing would put ScoreText back in the box over the user's typing.
        display_.setFJWZ(heldMessage());
        display_.setXSWB(heldInfo());
        return;
    }
    // The rest of a chord: no duration tick since this keyboard's last code.
    const SharedState &s = ctx_.state;
    if (writtenAt_ >= 0 && s.DurationCount == 0 && s.ScoreText.size() == writtenAt_)
        return;
    target_->write(*code);
    writtenAt_ = int(s.ScoreText.size());
    emit noteWritten();
}

void HardwareKeyboard::noteOff(Input &in, int n)
{
    Key &key = in.keys[size_t(n)];
    if (key.note < 0)
        return;
    for (int c = 0; c < 3; ++c) {
        if (key.channels[size_t(c)])
            ctx_.port.NoteOff(qint16(c), key.note);
    }
    key = Key();
    showKey(n - kOffsetZero, false);
}

void HardwareKeyboard::showKey(int offset, bool down)
{
    if (!target_)
        return;
    // A key the computer keyboard, the mouse or the score still sounds
    // stays pressed.
    const SharedState &s = ctx_.state;
    if (!down && offset == s.LastNoteOffset && s.SoundingMelodyNote >= 0)
        return;
    target_->showKey(offset, down);
}

void HardwareKeyboard::controller(Input &in, int number, int value)
{
    switch (number) {
    case kSustain:
        in.pedal = value >= 64;
        break;
    case kModulation:
        in.modulation = quint8(value);
        break;
    case kAllSoundOff:
    case Midi::kAllNotesOff:
        endNotes(in);  // the keyboard's panic button
        return;
    default:
        return;  // volume, expression and the rest stay the program's own
    }
    for (int c = 0; c < channels_; ++c)
        ctx_.port.ControlChange(qint16(c), qint16(number), qint16(value));
}

void HardwareKeyboard::pitchBend(Input &in, quint16 value)
{
    in.bend = value;
    for (int c = 0; c < channels_; ++c)
        ctx_.port.SendShortMessage(qint16(Midi::PitchBend | c), qint16(value & 0x7F), qint16(value >> 7));
}

void HardwareKeyboard::endNotes(Input &in)
{
    for (int n = 0; n < 128; ++n)
        noteOff(in, n);
}

void HardwareKeyboard::release(Input &in)
{
    endNotes(in);
    // A held pedal would keep the released notes sounding.
    if (in.pedal)
        controller(in, kSustain, 0);
    if (in.modulation != 0)
        controller(in, kModulation, 0);
    if (in.bend != kBendCentre)
        pitchBend(in, kBendCentre);
}

void HardwareKeyboard::inputConnected(const QString &keyboardName)
{
    display_.setFJWZ(connectedMessage(keyboardName));
    display_.setXSWB(connectedInfo(keyboardName));
}

void HardwareKeyboard::inputLost(int source)
{
    auto it = inputs_.find(source);
    if (it == inputs_.end())
        return;
    release(it->second);
    inputs_.erase(it);
}

void HardwareKeyboard::silence()
{
    for (auto &[source, in] : inputs_)
        release(in);
}

int HardwareKeyboard::soundingNotes() const
{
    int n = 0;
    for (const auto &[source, in] : inputs_) {
        for (const Key &k : in.keys)
            n += k.note >= 0 ? 1 : 0;
    }
    return n;
}
