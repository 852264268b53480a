#include "app/ConsoleDialogs.h"

#include <QTextStream>

void ConsoleDialogs::message(const QString &text, const QString &)
{
    stream_ << text << Qt::endl;
}

QString ConsoleDialogs::openFile(const QString &, const QString &)
{
    return QString();
}

QString ConsoleDialogs::saveFile(const QString &, const QString &, bool)
{
    return QString();
}

bool ConsoleDialogs::input(const QString &, const QString &, const QString &, QString *)
{
    return false;
}

bool ConsoleDialogs::openUrl(const QString &)
{
    return false;
}
