#pragma once

#include "platform/dialogs/UserDialogs.h"

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class QFileDialog;

// The program's dialogs: Qt message boxes, file dialogs and input boxes.
class QtUserDialogs : public UserDialogs {
public:
    // Dialogs are centred over the active window of the program, or over the
    // window that was active last (a box shown right after a file dialog
    // closed, before the window is active again).
    QtUserDialogs();
    ~QtUserDialogs() override;
    QtUserDialogs(const QtUserDialogs &) = delete;
    QtUserDialogs &operator=(const QtUserDialogs &) = delete;

    QWidget *owner() const;

    void message(const QString &text, const QString &title = QString()) override;
    QString openFile(const QString &filter, const QString &initialFolder) override;
    QString saveFile(const QString &filter, const QString &initialFolder, bool confirmOverwrite) override;
    bool input(const QString &prompt, const QString &title, const QString &defaultText,
               QString *text) override;
    bool openUrl(const QString &url) override;
    // A modal QProgressDialog over every window; the task runs on a thread of
    // its own at a lower priority than the live sound.
    void runWithProgress(const QString &label, const std::function<void(const ProgressReport &)> &task) override;

    // "乐谱记录txt|*.txt" -> "乐谱记录txt (*.txt)"; several pairs become several filters.
    static QString qtFilter(const QString &filter);
    // The extension of a Qt filter's first pattern: "MIDI文件 (*.mid)" -> "mid".
    static QString filterSuffix(const QString &qtFilter);
    // Qt's own file dialog, in Chinese whatever the system's language: sizes
    // and dates written in the program's locale, the columns wide enough
    // for Chinese file types.
    static void makeChinese(QFileDialog &dialog);

private:
    QPointer<QWidget> lastWindow_;
    QMetaObject::Connection watch_;
};
