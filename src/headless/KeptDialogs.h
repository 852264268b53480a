#pragma once

#include "platform/dialogs/UserDialogs.h"

#include <QStringList>

// Dialogs where nobody can be asked (a render, an export): every message is
// kept, and passed on while someone listens; every question is answered as
// if cancelled.
class KeptDialogs : public UserDialogs {
public:
    explicit KeptDialogs(Notifier *told = nullptr) : listener(told) { }

    QStringList messages;  // the texts shown, oldest first
    Notifier *listener;  // told each message as well, when set

    void message(const QString &text, const QString &title = QString()) override
    {
        messages << text;
        if (listener)
            listener->message(text, title);
    }
    QString openFile(const QString &, const QString &) override { return QString(); }
    QString saveFile(const QString &, const QString &, bool) override { return QString(); }
    bool input(const QString &, const QString &, const QString &, QString *) override { return false; }
    bool openUrl(const QString &) override { return false; }
};
