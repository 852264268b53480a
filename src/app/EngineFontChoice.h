#pragma once

#include "midiport/SoundFontChoice.h"

#include <functional>

class AudioEngine;

// The device lists' sound fonts: those found on the system that begin as a
// sound font should, the one playing among them even when the user picked
// it elsewhere, and a choice goes to the sound engine.
class EngineFontChoice : public SoundFontChoice {
public:
    using Finder = std::function<QStringList()>;
    // `find` lists the candidates (the system's folders when empty).
    explicit EngineFontChoice(AudioEngine &engine, Finder find = {});

    QStringList fonts() const override;
    QString current() const override;
    void choose(const QString &path) override;

private:
    AudioEngine &engine_;
    Finder find_;
};
