#include "platform/RecordFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// Exists (or could be made) and a file can really be created in it.
bool usable(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    QTemporaryFile probe(QDir(path).filePath(QStringLiteral(".probe-XXXXXX")));
    return probe.open();
}

// A read-only installation still gives a new user its shipped rhythms and demo
// scores: they are copied into the documents folder once, never overwriting.
void copyShippedFiles(const QString &from, const QString &to)
{
    const QDir source(from);
    if (!source.exists())
        return;
    const QStringList names = source.entryList(QDir::Files);
    for (const QString &name : names) {
        const QString target = QDir(to).filePath(name);
        if (!QFileInfo::exists(target))
            QFile::copy(source.filePath(name), target);
    }
}

}  // namespace

namespace RecordFolder {

QString locate(const QString &programDir, const QString &documentsDir)
{
    const QString beside = QDir(programDir).filePath(QString::fromUtf8(kName));
    if (usable(beside))
        return QDir::cleanPath(beside);
    const QString documents = QDir(documentsDir).filePath(QString::fromUtf8(kName));
    const bool isNew = !QFileInfo::exists(documents);
    QDir().mkpath(documents);
    if (isNew)
        copyShippedFiles(beside, documents);
    return QDir::cleanPath(documents);
}

QString locateForProgram()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return locate(QCoreApplication::applicationDirPath(), documents);
}

}  // namespace RecordFolder
