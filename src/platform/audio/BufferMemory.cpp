#include "platform/audio/BufferMemory.h"

#include "platform/audio/drivers/DeviceOutput.h"

#include <QSettings>

namespace {

const QString kKey = QStringLiteral("audio/bufferFrames");

bool isStep(int frames)
{
    for (int size : DeviceOutput::kBufferSteps) {
        if (size == frames)
            return true;
    }
    return false;
}

int stepBelow(int frames)
{
    int below = 0;
    for (int size : DeviceOutput::kBufferSteps) {
        if (size < frames)
            below = size;
    }
    return below;
}

}  // namespace

namespace BufferMemory {

int recall(QSettings &settings)
{
    bool ok = false;
    const int frames = settings.value(kKey).toInt(&ok);
    return ok && isStep(frames) ? frames : 0;
}

void grew(QSettings &settings, int frames)
{
    // The smallest is the default: nothing to remember (the output also
    // changes when only its priority does).
    if (!isStep(frames) || frames == DeviceOutput::kBufferSteps[0])
        return;
    settings.setValue(kKey, frames);
    settings.sync();  // a run that is killed still remembers
}

void shrank(QSettings &settings, int frames)
{
    if (!isStep(frames))
        return;
    if (frames == DeviceOutput::kBufferSteps[0])
        settings.remove(kKey);
    else
        settings.setValue(kKey, frames);
    settings.sync();
}

void atExit(QSettings &settings, int frames, double cleanSeconds)
{
    if (!isStep(frames))
        return;
    const int below = stepBelow(frames);
    if (cleanSeconds >= kCleanSecondsToTrySmaller && below > 0)
        frames = below;
    if (frames == DeviceOutput::kBufferSteps[0])
        settings.remove(kKey);  // nothing to remember: the default
    else
        settings.setValue(kKey, frames);
    settings.sync();
}

}  // namespace BufferMemory
