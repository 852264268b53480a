#include "headless/ConsoleNotifier.h"

#include <QTextStream>

void ConsoleNotifier::message(const QString &text, const QString &)
{
    stream_ << text << Qt::endl;
}
