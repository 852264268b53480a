#include "chords/SoundEffects.h"

#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "midiport/MidiPort.h"

const std::array<SoundEffects::Effect, SoundEffects::kEffectCount> &SoundEffects::effectTable()
{
    static const std::array<Effect, kEffectCount> table{{
        {1, 80, QStringLiteral("铜钹"), 47, 12},     // P
        {2, 219, QStringLiteral("木鱼"), 115, 24},   // [
        {3, 221, QStringLiteral("定音鼓"), 118, 36}, // ]
        {4, 186, QStringLiteral("鸟鸣"), 123, 24},   // ;
        {5, 222, QStringLiteral("海浪声"), 122, 24}, // '
        {6, 191, QStringLiteral("编钟"), 14, 12},    // /
    }};
    return table;
}

int SoundEffects::effectForKeyCode(int keyCode)
{
    const auto &table = effectTable();
    for (int i = 0; i < kEffectCount; ++i) {
        if (table[size_t(i)].keyCode == keyCode)
            return i;
    }
    return -1;
}

qint16 SoundEffects::keyCodeForYX(int n)
{
    for (const Effect &e : effectTable()) {
        if (e.yxNumber == n)
            return e.keyCode;
    }
    return 0;
}

SoundEffects::SoundEffects(Session &ctx, WindowDisplay &display) : ctx_(ctx), display_(display) {}

void SoundEffects::TSYX()
{
    const int row = effectForKeyCode(ctx_.state.LastKeyCode);
    if (row < 0)
        return;
    const Effect &e = effectTable()[size_t(row)];
    ctx_.port.ProgramChange(kChannel, 0, e.program);
    ctx_.port.NoteOn(kChannel, qint16(ctx_.state.KeyBase + e.offset), kVelocity);
    display_.setXSWB(QStringLiteral("特殊音效\r\n         ") + e.name);
}
