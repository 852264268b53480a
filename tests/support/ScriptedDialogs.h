#pragma once

#include "platform/dialogs/UserDialogs.h"

#include <QStringList>
#include <QVector>

// Dialogs for tests: records what was shown and answers from a script.
// File dialogs take their answers from the front of openAnswers / saveAnswers;
// an empty answer (or none left) is a cancel.
class ScriptedDialogs : public UserDialogs {
public:
    struct FileRequest {
        QString filter;
        QString folder;
        bool confirmOverwrite = false;
    };

    QStringList messages;
    QStringList titles;
    QStringList openAnswers;
    QStringList saveAnswers;
    QVector<FileRequest> openRequests;
    QVector<FileRequest> saveRequests;
    QStringList inputAnswers;  // empty answer = cancelled
    QStringList urls;
    bool urlResult = true;

    // Progress boxes shown: the label and every percent the task reported.
    struct ProgressRun {
        QString label;
        QVector<int> percents;
        bool cancelled = false;
    };
    QVector<ProgressRun> progressRuns;
    // The user presses 取消 once the task reports at least this percent
    // (-1: never).
    int cancelAtPercent = -1;

    void message(const QString &text, const QString &title) override;
    QString openFile(const QString &filter, const QString &initialFolder) override;
    QString saveFile(const QString &filter, const QString &initialFolder, bool confirmOverwrite) override;
    bool input(const QString &prompt, const QString &title, const QString &defaultText,
               QString *text) override;
    bool openUrl(const QString &url) override;
    void runWithProgress(const QString &label, const std::function<void(const ProgressReport &)> &task) override;
};
