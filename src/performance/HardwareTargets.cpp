#include "performance/HardwareTargets.h"

#include "core/SharedState.h"
#include "performance/KeyTable.h"
#include "performance/KeyboardEngine.h"
#include "performance/MelodyVoices.h"
#include "performance/MiniKeyboard.h"
#include "performance/OnScreenKeyboard.h"

namespace {
constexpr qint16 kBackslash = 0xDC;  // MA: a key of the main window only
}

MainWindowNotes::MainWindowNotes(SharedState &state, const MelodyVoices &voices, KeyboardEngine &engine,
                                 OnScreenKeyboard &keys, QObject *parent)
    : HardwareNoteTarget(parent),
      state_(state),
      voices_(voices),
      engine_(engine),
      keys_(keys)
{
    connect(&engine, &KeyboardEngine::stopped, this, &HardwareNoteTarget::silenced);
    connect(&keys, &OnScreenKeyboard::muted, this, &HardwareNoteTarget::silenced);
}

qint16 MainWindowNotes::fullVelocity(int channel) const
{
    if (channel < 0 || channel >= 3 || !voices_.voiceSounds(channel))
        return 0;
    return state_.VoiceVelocity[size_t(channel)];
}

const NoteKey *MainWindowNotes::keyToWrite(int offset) const { return KeyTable::keyForOffset(offset); }

void MainWindowNotes::write(const NoteKey &key) { engine_.writeInputNote(key); }

void MainWindowNotes::showKey(int offset, bool down)
{
    if (down)
        keys_.showPressed(offset);
    else
        keys_.showUp(offset);
}

MiniWindowNotes::MiniWindowNotes(SharedState &state, MiniKeyboard &mini, QObject *parent)
    : HardwareNoteTarget(parent),
      state_(state),
      mini_(&mini)
{
    connect(&mini, &MiniKeyboard::stopped, this, &HardwareNoteTarget::silenced);
    connect(&mini, &MiniKeyboard::muted, this, &HardwareNoteTarget::silenced);
}

qint16 MiniWindowNotes::fullVelocity(int channel) const
{
    if (channel < 0 || channel >= 3 || state_.VoiceInstrument[size_t(channel)] <= 0)
        return 0;
    return state_.VoiceVelocity[size_t(channel)];
}

const NoteKey *MiniWindowNotes::keyToWrite(int offset) const
{
    const NoteKey *key = KeyTable::keyForOffset(offset);
    return key && key->keyCode != kBackslash ? key : nullptr;
}

void MiniWindowNotes::write(const NoteKey &key)
{
    if (mini_)
        mini_->writeInputNote(key);
}

void MiniWindowNotes::showKey(int offset, bool down)
{
    if (mini_)
        mini_->showInputKey(offset, down);
}

EditorNotes::EditorNotes(std::function<qint16()> rowVolume, QObject *parent)
    : HardwareNoteTarget(parent),
      rowVolume_(std::move(rowVolume))
{ }

qint16 EditorNotes::fullVelocity(int channel) const
{
    return channel == 0 && rowVolume_ ? qMax<qint16>(0, rowVolume_()) : 0;
}
