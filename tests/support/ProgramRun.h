#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// One run of the built program: exit status (-1 when it crashed or hung)
// and what it printed.
struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

inline ProgramRun runProgram(const QStringList &arguments, const QProcessEnvironment &env,
                             int timeoutMs = 60000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DZQ_BINARY), arguments);
    ProgramRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
