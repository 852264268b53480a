#include "app/EngineFontChoice.h"

#include "platform/audio/AudioEngine.h"
#include "platform/audio/SynthSetup.h"

#include <QFileInfo>

EngineFontChoice::EngineFontChoice(AudioEngine &engine, Finder find) : engine_(engine), find_(std::move(find))
{
    if (!find_)
        find_ = [] { return SynthSetup::soundFontCandidates(); };
}

QStringList EngineFontChoice::fonts() const
{
    QStringList fonts;
    for (const QString &path : find_()) {
        if (SynthSetup::looksLikeSoundFont(path))
            fonts << path;
    }
    const QString playing = current();
    if (playing.isEmpty())
        return fonts;
    const QString canonical = QFileInfo(playing).canonicalFilePath();
    for (const QString &path : std::as_const(fonts)) {
        if (QFileInfo(path).canonicalFilePath() == canonical)
            return fonts;
    }
    return fonts << playing;  // picked from elsewhere: it has an entry too
}

QString EngineFontChoice::current() const { return engine_.hasSoundFont() ? engine_.soundFontPath() : QString(); }

void EngineFontChoice::choose(const QString &path) { engine_.switchSoundFont(path); }
