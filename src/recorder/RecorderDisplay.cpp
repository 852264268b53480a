#include "recorder/RecorderDisplay.h"

#include "core/WindowDisplay.h"

void WindowRecorderDisplay::setXSWB(const QString &text)
{
    window_.setXSWB(text);
}

void WindowRecorderDisplay::setFJWZ(const QString &text)
{
    window_.setFJWZ(text);
}

void WindowRecorderDisplay::setLastFilePath(const QString &path)
{
    window_.LastFilePath = path;
}
