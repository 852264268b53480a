#include "recorder/RecorderDisplay.h"

#include "core/WindowDisplay.h"
#include "platform/dialogs/UserDialogs.h"

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

void WindowRecorderDisplay::tell(const QString &status, const QString &whole)
{
    window_.setFJWZ(status);
    window_.setXSWB(whole);
}

void NoticeRecorderDisplay::tell(const QString &, const QString &whole)
{
    notifier_.message(whole);
}

void NoticeRecorderDisplay::setFJWZ(const QString &text)
{
    QString sentence = text;
    while (sentence.endsWith(QChar(0x3002)))  // the status line's trailing "。。。"
        sentence.chop(1);
    notifier_.message(sentence + QChar(0x3002));
}
