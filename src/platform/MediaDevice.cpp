#include "platform/MediaDevice.h"

#include <QStringList>

int MinimalMediaDevice::command(const QString &text, QString *reply)
{
    if (reply)
        reply->clear();
    const QStringList words = text.simplified().split(QLatin1Char(' '));
    if (words.size() == 2 && words[0].compare(QLatin1String("close"), Qt::CaseInsensitive) == 0)
        return 0;
    return 1;  // not supported
}
