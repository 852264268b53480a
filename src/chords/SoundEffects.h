#pragma once

#include "core/Session.h"

#include <QString>
#include <QtGlobal>

#include <array>

class WindowDisplay;
// The six special effects: one note of an effect instrument on channel 6,
// never stopped (each sound fades out by itself).
class SoundEffects {
public:
    static constexpr int kEffectCount = 6;
    static constexpr int kChannel = 6;
    static constexpr int kVelocity = 100;

    struct Effect {
        int yxNumber;     // the score's YX n
        qint16 keyCode;   // its key: P [ ] ; ' /
        QString name;     // shown when it sounds, "铜钹"
        qint16 program;   // General MIDI program
        qint16 offset;    // note above KeyBase
    };
    static const std::array<Effect, kEffectCount> &effectTable();
    // Row of a key code, or -1 when it is no effect key.
    static int effectForKeyCode(int keyCode);
    // Key code of the score's YX n (1..6), or 0 when n names no effect.
    static qint16 keyCodeForYX(int n);

    SoundEffects(Session &ctx, WindowDisplay &display);

    // TSYX: sounds the effect of ctx.state.LastKeyCode (program change, then
    // the note) and names it in XSWB. Other key codes do nothing.
    void TSYX();

private:
    Session &ctx_;
    WindowDisplay &display_;
};
