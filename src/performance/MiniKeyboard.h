#pragma once

#include "core/PlaybackTimer.h"
#include "performance/PianoHandler.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>

struct NoteKey;
struct Session;
class WindowDisplay;

// The logic of the mini window Form2: its key handler on JPSB, its small
// keyboard of coloured boxes Picture1(0..64), its mute pad Picture2 and its
// duration tick Timer1 (one eighth of a beat). It writes what is played into
// ScoreText like the main window's keyboard and hands the score to the main
// window's score box when the user goes back.
//
// Here VoiceInstrument holds instrument list positions: a voice sounds while
// its entry is above 0, with program entry - 1.
class MiniKeyboard : public QObject, public PianoHandler {
    Q_OBJECT
public:
    static constexpr int kBoxes = 65;
    // Box colours, 0xRRGGBB.
    static constexpr quint32 kWhiteUp = 0xFFFFFF;
    static constexpr quint32 kBlackUp = 0x000000;
    static constexpr quint32 kWhitePressed = 0xC8C8C8;  // by key or by mouse
    static constexpr quint32 kBlackPressed = 0x7F7F7F;  // by mouse only
    // The start-up instrumentation, list positions of voices 0..2.
    static constexpr std::array<qint16, 3> kStartInstruments{{15, 52, 79}};

    // mainDisplay: the main window's display, whose score box gets the score.
    MiniKeyboard(Session &ctx, WindowDisplay &mainDisplay, QObject *parent = nullptr);

    // Each time the window is shown: empty score, Timer1 at the
    // current eighth beat, boxes up, the start-up instruments sent.
    void activate();
    // A key-down on JPSB by its Windows key code (never an auto-repeat).
    void keyPressed(int keyCode);
    // One tick of Timer1.
    void onDurationTick();
    // "清空": a new performance.
    void clearClicked();
    // "返回" or closing: the score goes to the main window's score box.
    // Timer1 keeps running.
    void handBack();
    // Given the main window's score box before the hand-back replaces it,
    // when no file holds what it held (set by whoever keeps such work).
    std::function<void(const QString &replaced)> keepReplacedScore;

    // The mouse on the boxes: a press and every move onto a box strike it.
    void pianoPressed(int key) override { strike(key); }
    void pianoMovedTo(int key) override { strike(key); }
    void pianoReleased() override {}
    void mutePadTouched() override;

    // A mouse strike on box o: sounds it, not written into the score.
    void strike(int offset);

    // A note of a MIDI keyboard at the offset of a note key of this window:
    // its code is written as the key press writes it and Timer1 starts
    // again. The note sounds elsewhere.
    void writeInputNote(const NoteKey &key);
    // A key of a MIDI keyboard went down (box drawn pressed, as by the
    // mouse) or up (its up colour).
    void showInputKey(int offset, bool down);

    quint32 boxColour(int offset) const;
    bool boxIsWhite(int offset) const;
    static QString mutePadLine() { return QStringLiteral("点击空格键或鼠标移动到这里即可终止发音"); }
    // Stops the duration tick Timer1, which runs on after "返回" to end the
    // last note: once the main keyboard plays, it would count into that
    // keyboard's score. The next key here starts it again.
    void stopDurationTick();
    PlaybackTimer &timer1() { return timer1_; }

signals:
    void boxColourChanged(int offset, quint32 colour);
    // The focus goes to JPSB.
    void choiceMade();
    // The score is in the main window's score box: its play button is
    // enabled, the main window shows again and this one hides.
    void handedBack();
    // Space stopped the performance, or the mute pad silenced the melody.
    void stopped();
    void muted();

private:
    void combination(int row);
    void rest();
    void stop();
    void playNote(int offset, const char *code);
    void sound(int offset);
    void setColour(int offset, quint32 colour);
    void showUp(int offset);
    static bool validOffset(int offset) { return offset >= 0 && offset < kBoxes; }

    Session &ctx_;
    WindowDisplay &mainDisplay_;
    PlaybackTimer timer1_;  // Timer1: duration tick
    std::array<quint32, kBoxes> colours_{};
    std::array<bool, kBoxes> white_{};
};
