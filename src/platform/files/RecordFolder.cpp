#include "platform/files/RecordFolder.h"

#include "platform/files/TextFiles.h"

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

QString locate(const QString &programDir, const QString &documentsDir, const QString &installedDir)
{
    const QString beside = QDir(programDir).filePath(QString::fromUtf8(kName));
    const bool installed = !installedDir.isEmpty() && QFileInfo(installedDir).isDir();
    if ((!installed || QFileInfo::exists(beside)) && usable(beside))
        return QDir::cleanPath(beside);
    const QString documents = QDir(documentsDir).filePath(QString::fromUtf8(kName));
    const bool isNew = !QFileInfo::exists(documents);
    QDir().mkpath(documents);
    if (isNew)
        copyShippedFiles(installed ? installedDir : beside, documents);
    return QDir::cleanPath(documents);
}

QString installedDirFor(const QString &programDir)
{
    return QDir::cleanPath(QDir(programDir).filePath(QStringLiteral("../share/dzq/") + QString::fromUtf8(kName)));
}

QString locateForProgram()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    const QString programDir = QCoreApplication::applicationDirPath();
    return locate(programDir, documents, installedDirFor(programDir));
}

}  // namespace RecordFolder

QString RecordFolder::keptName(const QString &folder, const QString &prefix, const QString &suffix,
                               const QDateTime &when)
{
    const QString stamp = when.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    const QDir dir(folder);
    QString name = QStringLiteral("%1-%2.%3").arg(prefix, stamp, suffix);
    for (int n = 2; dir.exists(name); ++n)
        name = QStringLiteral("%1-%2-%3.%4").arg(prefix, stamp).arg(n).arg(suffix);
    return name;
}

QString RecordFolder::keepWork(const QString &folder, const QString &prefix, const QString &suffix,
                               const QByteArray &bytes, QString *error)
{
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("无法创建文件夹“%1”").arg(QDir::toNativeSeparators(folder));
        return QString();
    }
    const QString path = QDir(folder).filePath(keptName(folder, prefix, suffix, QDateTime::currentDateTime()));
    return TextFiles::writeBytes(path, bytes, error) ? path : QString();
}
