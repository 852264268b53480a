#include "platform/files/DurableSave.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace DurableSave {

namespace {
QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
}  // namespace

bool flushToDisk(QFileDevice &file, QString *reason)
{
    if (!file.flush()) {
        *reason = file.errorString();
        return false;
    }
#ifdef Q_OS_WIN
    const int result = _commit(file.handle());
#else
    const int result = ::fsync(file.handle());
#endif
    if (result != 0) {
        *reason = systemReason(errno);
        return false;
    }
    return true;
}

bool checkTarget(const QString &path, QString *reason)
{
    QFileInfo target(path);
    for (int depth = 0; target.isSymLink() && depth < 64; ++depth)
        target.setFile(target.symLinkTarget());
    if (!target.exists() || target.isFile())
        return true;
    *reason = target.isDir() ? QStringLiteral("这是一个文件夹") : QStringLiteral("这不是普通文件（而是设备或管道），不能替换");
    return false;
}

bool write(const QString &path, const QByteArray &bytes, QString *reason)
{
    if (!checkTarget(path, reason))
        return false;
    QSaveFile file(path);
    // Unbuffered: a short write (a full disk) shows at once with its reason;
    // a buffered save file would only fail at the commit, reason unknown.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *reason = file.errorString();
        return false;
    }
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            *reason = file.errorString();
            file.cancelWriting();
            file.commit();  // removes the temporary copy
            return false;
        }
        written += n;
    }
    if (!flushToDisk(file, reason)) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    if (!file.commit()) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

int removeLeftovers(const QString &folder, int minAgeSeconds)
{
    // QSaveFile's temporary copy: the target's name, a dot, six characters.
    static const QRegularExpression leftover(
        QStringLiteral("^.+\\.(txt|bin|lnk|mid|midi|wav|csv)\\.[A-Za-z0-9]{6}$"),
        QRegularExpression::CaseInsensitiveOption);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-minAgeSeconds);
    int removed = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &info : files) {
        if (!leftover.match(info.fileName()).hasMatch() || info.lastModified().toUTC() > before)
            continue;
        if (QFile::remove(info.filePath()))
            ++removed;
    }
    return removed;
}

}  // namespace DurableSave
