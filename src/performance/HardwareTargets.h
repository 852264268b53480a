#pragma once

#include "performance/HardwareNoteTarget.h"

#include <QPointer>

#include <functional>

struct SharedState;
class KeyboardEngine;
class MelodyVoices;
class MiniKeyboard;
class OnScreenKeyboard;

// The main window: the notes sound on the voices whose instrument list is
// not at "0.无声", at their volumes; the 34 note keys' offsets are written
// as those keys write them (the information display explains the key),
// except while the score box is being edited by hand (a write would replace
// the box's text); the on-screen piano shows the keys held.
class MainWindowNotes : public HardwareNoteTarget {
    Q_OBJECT
public:
    MainWindowNotes(SharedState &state, const MelodyVoices &voices, KeyboardEngine &engine, OnScreenKeyboard &keys,
                    QObject *parent = nullptr);

    int channels() const override { return 3; }
    qint16 fullVelocity(int channel) const override;
    const NoteKey *keyToWrite(int offset) const override;
    void write(const NoteKey &key) override;
    bool writingHeld() const override { return scoreBeingEdited_ && scoreBeingEdited_(); }
    void showKey(int offset, bool down) override;

    // Says whether the score box has the keyboard focus (set by the window).
    void setScoreBeingEdited(std::function<bool()> editing) { scoreBeingEdited_ = std::move(editing); }

private:
    SharedState &state_;
    const MelodyVoices &voices_;
    KeyboardEngine &engine_;
    OnScreenKeyboard &keys_;
    std::function<bool()> scoreBeingEdited_;
};

// The mini window: the voices whose VoiceInstrument entry is above 0; the
// offsets of its 33 note keys (not "\") are written; its small keyboard
// shows the keys held.
class MiniWindowNotes : public HardwareNoteTarget {
    Q_OBJECT
public:
    MiniWindowNotes(SharedState &state, MiniKeyboard &mini, QObject *parent = nullptr);

    int channels() const override { return 3; }
    qint16 fullVelocity(int channel) const override;
    const NoteKey *keyToWrite(int offset) const override;
    void write(const NoteKey &key) override;
    void showKey(int offset, bool down) override;

private:
    SharedState &state_;
    QPointer<MiniKeyboard> mini_;  // goes with its window
};

// The music editor: the notes sound on channel 0 only, the editor's first
// melody row (its instrument, and its volume as the full velocity, 0 while
// the row is silent); nothing is written.
class EditorNotes : public HardwareNoteTarget {
    Q_OBJECT
public:
    explicit EditorNotes(std::function<qint16()> rowVolume, QObject *parent = nullptr);

    int channels() const override { return 1; }
    qint16 fullVelocity(int channel) const override;

private:
    std::function<qint16()> rowVolume_;
};
