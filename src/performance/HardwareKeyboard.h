#pragma once

#include "core/MidiMessage.h"
#include "performance/HardwareNoteTarget.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <map>

struct Session;
class WindowDisplay;

// Plays what MIDI keyboards (and other programs' MIDI) send, by the rules
// of the window in front (its HardwareNoteTarget).
//
// A hardware note n is note offset n - 36, so it sounds at n - 36 + KeyBase:
// the key list transposes it as it transposes the computer keyboard. Every
// note-on starts its own note on each channel whose full velocity is not 0,
// at velocity full x v / 127 (at least 1), so chords sound as chords; its
// note-off ends exactly the note it started, whatever the key list says by
// then. Sustain pedal, modulation and pitch bend go to the target's
// channels. A note-on whose offset the window's keys write closes the
// previous duration and writes its code, unless a note of this keyboard was
// written within the same duration tick (the rest of a chord) or the window
// holds its score back (the score box is being edited: the status line says
// so). Channel 10 (drum pads) plays nothing.
//
// All notes of an input end, and its controllers go back to rest, when the
// input goes away; all notes of all inputs end when the window changes or
// its player silences the melody.
class HardwareKeyboard : public QObject {
    Q_OBJECT
public:
    static constexpr int kOffsetZero = 36;  // the hardware note at offset 0

    HardwareKeyboard(Session &ctx, WindowDisplay &mainDisplay, QObject *parent = nullptr);

    // The window whose rules apply from now on; nullptr: notes are ignored
    // (before start-up, after shut-down). What sounds ends first.
    void setTarget(HardwareNoteTarget *target);
    HardwareNoteTarget *target() const { return target_; }

    // One message of input `source`.
    void receive(int source, const MidiMessage &message);
    // The status line names a keyboard that was connected.
    void inputConnected(const QString &keyboardName);
    void inputLost(int source);
    // Every note of every input ends; the controllers go back to rest.
    void silence();

    // Notes of the inputs sounding now.
    int soundingNotes() const;
    static QString connectedMessage(const QString &keyboardName)
    {
        return QStringLiteral("已连接MIDI键盘：%1。。。").arg(keyboardName);
    }
    // The information display: the whole name, which the status line may cut.
    static QString connectedInfo(const QString &keyboardName)
    {
        return QStringLiteral("已连接MIDI键盘：\r\n%1").arg(keyboardName);
    }
    // A note not written because the score box is being edited.
    static QString heldMessage() { return QStringLiteral("改乐谱时MIDI不记谱。。。"); }
    static QString heldInfo()
    {
        return QStringLiteral("乐谱框正在编辑：MIDI键盘的音符只发声，不写入乐谱。点一下“键盘”按钮，就又写入乐谱了。");
    }

signals:
    // A note's code was written into the score.
    void noteWritten();

private:
    struct Key {
        qint16 note = -1;  // the MIDI note sounding, -1 for none
        std::array<bool, 3> channels{};
    };
    struct Input {
        std::array<Key, 128> keys{};
        bool pedal = false;
        quint8 modulation = 0;
        quint16 bend = kBendCentre;
    };
    static constexpr quint16 kBendCentre = 0x2000;

    void noteOn(Input &in, int n, int velocity);
    void noteOff(Input &in, int n);
    void controller(Input &in, int number, int value);
    void pitchBend(Input &in, quint16 value);
    void endNotes(Input &in);
    void release(Input &in);
    void writeNote(int offset);
    void showKey(int offset, bool down);

    Session &ctx_;
    WindowDisplay &display_;
    QPointer<HardwareNoteTarget> target_;
    QMetaObject::Connection silencedLink_;
    int channels_ = 0;  // of the target: where the controllers went
    std::map<int, Input> inputs_;
    int writtenAt_ = -1;  // ScoreText's length after the last code written here
};
