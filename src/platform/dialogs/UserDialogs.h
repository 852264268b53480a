#pragma once

#include <QString>

#include <functional>

// Tells the user something: a box with the text and an OK button. Whoever
// only reports (the MIDI port, the command line, a render) needs no more.
class Notifier {
public:
    virtual ~Notifier() = default;
    // An empty title means the program's own title.
    virtual void message(const QString &text, const QString &title = QString()) = 0;
};

// Told how far a long task has come, in percent; answers false once the user
// wants it cancelled.
using ProgressReport = std::function<bool(int percent)>;

// The dialogs that ask the user: file dialogs, input boxes and the web
// browser, besides the message box. The program uses the Qt dialogs; tests
// script them.
//
// File filters are written "description|pattern" ("乐谱记录txt|*.txt").
class UserDialogs : public Notifier {
public:
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

    // Runs `task` while a box shows `label`, how far the task has come and a
    // 取消 button; returns once the task has returned. The program runs the
    // task on a thread of its own so that the windows keep drawing: the task
    // must not touch windows or shared state. Without a box: runs at once and
    // is never cancelled.
    virtual void runWithProgress(const QString &label, const std::function<void(const ProgressReport &)> &task)
    {
        Q_UNUSED(label);
        task([](int) { return true; });
    }
};

// The title of message boxes that have none of their own.
inline QString programTitle() { return QStringLiteral("Quorvane电子琴"); }
