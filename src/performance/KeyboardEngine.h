#pragma once

#include "core/PlaybackTimer.h"

#include <QObject>

#include <functional>

struct AppContext;
class MelodyVoices;
class OnScreenKeyboard;

// The key handler of the keyboard button SFYXYZ: turns computer keys into
// melody notes, writes what is played into ScoreText while it is played,
// switches the instrument combinations and hands the chord, effect and
// rhythm keys on. Timer1 counts the duration of the sounding note in 80 ms
// ticks.
class KeyboardEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 80;

    KeyboardEngine(AppContext &ctx, MelodyVoices &voices, OnScreenKeyboard &keys,
                   QObject *parent = nullptr);

    // A key-down on the keyboard button (auto-repeats included), by its
    // Windows key code.
    void keyPressed(int keyCode);
    // One tick of Timer1.
    void onDurationTick();

    // Focus of the keyboard button and its click.
    void focusGained();
    void focusLost();
    // Click: the button is enabled, says so in the status line and takes
    // the focus.
    void buttonClicked();

    PlaybackTimer &timer1() { return timer1_; }

    // Procedures of other panels; an empty hook does nothing.
    std::function<void()> HXQD;               // HXQD: chord keys
    std::function<void()> TSYX;               // TSYX: special-effect keys
    std::function<void()> ZDJP;               // ZDJP: built-in rhythm keys (keypad)
    std::function<void()> clearBzQd;          // stops the rhythm (clears its start box BzQd)
    std::function<void()> clearScorePlaying;  // the score player's ScorePlaying flag
    std::function<void()> resetPlayCaption;   // caption "试听" on the play button Yuepu(0)

signals:
    // The keyboard button should be enabled and take the input focus.
    void focusRequested();

private:
    void playNote(int offset, const char *code, int helpId);
    void rest();
    void stop();
    void combination(int row);
    void appendCode(const QString &code);
    void showScore();
    static void call(const std::function<void()> &hook)
    {
        if (hook)
            hook();
    }

    AppContext &ctx_;
    MelodyVoices &voices_;
    OnScreenKeyboard &keys_;
    PlaybackTimer timer1_;  // Timer1: duration tick
};
