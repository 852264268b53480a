#pragma once

#include <QString>
#include <QStringList>

// The built-in synthesizer's sound fonts, as the device lists offer them.
// The program's composition gives the lists one (the sound engine behind
// it); tests give a recording fake.
class SoundFontChoice {
public:
    virtual ~SoundFontChoice() = default;
    // The General MIDI fonts found on the system, best first.
    virtual QStringList fonts() const = 0;
    // The font playing now (or loading), empty when none.
    virtual QString current() const = 0;
    // Puts another font in place of the one playing; returns at once (the
    // font loads in the background; a font that fails is refused there).
    virtual void choose(const QString &path) = 0;
};
