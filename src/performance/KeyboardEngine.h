#pragma once

#include "core/PlaybackTimer.h"

#include <QObject>

struct Session;
class WindowDisplay;
class MelodyVoices;
class KeyboardPartners;
class OnScreenKeyboard;
struct NoteKey;

// The key handler of the keyboard button SFYXYZ: turns computer keys into
// melody notes, writes what is played into ScoreText while it is played,
// switches the instrument combinations and hands the chord, effect and
// rhythm keys on. Timer1 counts the duration of the sounding note in 80 ms
// ticks.
class KeyboardEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 80;

    KeyboardEngine(Session &ctx, WindowDisplay &display, MelodyVoices &voices, OnScreenKeyboard &keys,
                   KeyboardPartners &partners, QObject *parent = nullptr);

    // A fresh key-down on the keyboard button (never an auto-repeat), by its
    // Windows key code.
    void keyPressed(int keyCode);
    // One tick of Timer1.
    void onDurationTick();
    // A note of a MIDI keyboard at the offset of a note key: its code is
    // written as the key press writes it, the information display explains
    // the key, the duration tick starts again. The note sounds elsewhere.
    void writeInputNote(const NoteKey &key);

    // Focus of the keyboard button and its click.
    void focusGained();
    void focusLost();
    // Click: the button is enabled, says so in the status line and takes
    // the focus.
    void buttonClicked();

    // Another window (the mini window, the editor) takes the main window's
    // place: the note that sounds ends, the duration tick stops, and no key
    // or mouse plays here until the main window is back.
    void setAway(bool away);
    bool isAway() const { return away_; }

    // Stops the duration tick Timer1; the next key starts it again.
    void stopDurationTick();
    PlaybackTimer &timer1() { return timer1_; }

signals:
    // A choice was made in one of its controls: the window gives the
    // keyboard back in its own way.
    void choiceMade();
    // The keyboard button should be enabled and take the input focus.
    void focusRequested();
    // Space stopped the performance: the melody is silent.
    void stopped();

private:
    void playNote(int offset, const char *code, int helpId);
    void writeCode(const char *code);
    void rest();
    void stop();
    void combination(int row);
    void appendCode(const QString &code);
    void showScore();

    Session &ctx_;
    WindowDisplay &display_;
    MelodyVoices &voices_;
    OnScreenKeyboard &keys_;
    KeyboardPartners &partners_;
    PlaybackTimer timer1_;  // Timer1: duration tick
    bool away_ = false;
};
