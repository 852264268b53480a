#pragma once

#include "platform/UserDialogs.h"

class QWidget;

// The program's dialogs: Qt message boxes, file dialogs and input boxes.
class QtUserDialogs : public UserDialogs {
public:
    // Dialogs are centred over the active window of the program.
    QtUserDialogs() = default;

    void message(const QString &text, const QString &title = QString()) override;
    QString openFile(const QString &filter, const QString &initialFolder) override;
    QString saveFile(const QString &filter, const QString &initialFolder, bool confirmOverwrite) override;
    bool input(const QString &prompt, const QString &title, const QString &defaultText,
               QString *text) override;
    bool openUrl(const QString &url) override;

    // "乐谱记录txt|*.txt" -> "乐谱记录txt (*.txt)"; several pairs become several filters.
    static QString qtFilter(const QString &filter);
};
