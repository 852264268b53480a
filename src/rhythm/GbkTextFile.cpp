#include "rhythm/GbkTextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace GbkTextFile {

ReadStatus read(const QString &path, qint64 maxBytes, QString *text)
{
    text->clear();
    // Only regular files: a pipe or a device would block or never end.
    const QFileInfo info(path);
    if (!info.exists())
        return ReadStatus::Missing;
    if (!info.isFile())
        return ReadStatus::Unreadable;
    if (info.size() > maxBytes)
        return ReadStatus::TooLong;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ReadStatus::Unreadable;
    const QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return ReadStatus::Unreadable;
    if (bytes.size() > maxBytes)
        return ReadStatus::TooLong;
    QStringDecoder decoder("GBK", QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return ReadStatus::NotDecodable;
    const QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return ReadStatus::NotDecodable;
    *text = decoded;
    return ReadStatus::Ok;
}

QByteArray encode(const QString &text)
{
    // The encoder writes "?" for what GBK cannot hold; that is all we need.
    QStringEncoder encoder("GBK", QStringEncoder::Flag::Stateless);
    return encoder.encode(text);
}

bool write(const QString &path, const QString &text)
{
    const QByteArray bytes = encode(text);
    QSaveFile file(path);
    // Unbuffered: a short write (a full disk) must show here, because a
    // buffered QSaveFile would commit the truncated file as a success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            file.cancelWriting();
            file.commit();
            return false;
        }
        written += n;
    }
    return file.commit();
}

}  // namespace GbkTextFile
