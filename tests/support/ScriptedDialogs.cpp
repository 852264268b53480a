#include "ScriptedDialogs.h"

void ScriptedDialogs::message(const QString &text, const QString &title)
{
    messages << text;
    titles << title;
}

QString ScriptedDialogs::openFile(const QString &filter, const QString &initialFolder)
{
    openRequests.append({filter, initialFolder, false});
    return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
}

QString ScriptedDialogs::saveFile(const QString &filter, const QString &initialFolder,
                                  bool confirmOverwrite)
{
    saveRequests.append({filter, initialFolder, confirmOverwrite});
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
}

bool ScriptedDialogs::input(const QString &, const QString &, const QString &, QString *text)
{
    if (inputAnswers.isEmpty())
        return false;
    *text = inputAnswers.takeFirst();
    return !text->isEmpty();
}

bool ScriptedDialogs::openUrl(const QString &url)
{
    urls << url;
    return urlResult;
}

void ScriptedDialogs::runWithProgress(const QString &label, const std::function<void(const ProgressReport &)> &task)
{
    progressRuns.append({label, {}, false});
    const int run = int(progressRuns.size()) - 1;
    task([this, run](int percent) {
        ProgressRun &r = progressRuns[run];
        r.percents << percent;
        if (cancelAtPercent >= 0 && percent >= cancelAtPercent)
            r.cancelled = true;
        return !r.cancelled;
    });
}
