#include "platform/audio/SoundFontMemory.h"

#include "platform/audio/SynthSetup.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kKey = QStringLiteral("audio/soundFont");

}  // namespace

namespace SoundFontMemory {

QString recall(QSettings &settings) { return settings.value(kKey).toString(); }

void chose(QSettings &settings, const QString &path)
{
    if (path.isEmpty())
        return;
    settings.setValue(kKey, QFileInfo(path).absoluteFilePath());
    settings.sync();  // a run that is killed still remembers
}

void started(QSettings &settings, const QString &asked, const QString &playing)
{
    if (asked.isEmpty() || asked != recall(settings))
        return;
    if (!playing.isEmpty() && SynthSetup::sameFile(playing, asked))
        return;
    settings.remove(kKey);
    settings.sync();
}

}  // namespace SoundFontMemory
