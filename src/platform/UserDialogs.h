#pragma once

#include <QString>

// The user dialogs of the program: message boxes, file dialogs, input boxes
// and the web browser. The program uses the Qt dialogs; tests script them.
//
// File filters are written "description|pattern" ("乐谱记录txt|*.txt").
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A box with the text and an OK button. An empty title means the
    // program's own title.
    virtual void message(const QString &text, const QString &title = QString()) = 0;

    // Returns the chosen path, or an empty string when cancelled.
    virtual QString openFile(const QString &filter, const QString &initialFolder) = 0;
    // Asks before overwriting an existing file when confirmOverwrite is set.
    virtual QString saveFile(const QString &filter, const QString &initialFolder,
                             bool confirmOverwrite) = 0;

    // A one-line text input; returns false when cancelled.
    virtual bool input(const QString &prompt, const QString &title, const QString &defaultText,
                       QString *text) = 0;

    // Opens a web address in the browser; false when that failed.
    virtual bool openUrl(const QString &url) = 0;
};

// The title of message boxes that have none of their own.
inline QString programTitle() { return QStringLiteral("Quorvane电子琴"); }
