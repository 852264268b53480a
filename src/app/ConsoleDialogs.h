#pragma once

#include "platform/UserDialogs.h"

class QTextStream;

// The dialogs of the command line: a message is written as a line of text
// (to standard error) instead of a box; file dialogs and input boxes are
// never answered, as nobody is there to answer them.
class ConsoleDialogs : public UserDialogs {
public:
    explicit ConsoleDialogs(QTextStream &stream) : stream_(stream) {}

    void message(const QString &text, const QString &title = QString()) override;
    QString openFile(const QString &filter, const QString &initialFolder) override;
    QString saveFile(const QString &filter, const QString &initialFolder, bool confirmOverwrite) override;
    bool input(const QString &prompt, const QString &title, const QString &defaultText,
               QString *text) override;
    bool openUrl(const QString &url) override;

private:
    QTextStream &stream_;
};
