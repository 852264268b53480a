#include "platform/files/TextFiles.h"

#include "platform/files/DurableSave.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

namespace TextFiles {

bool readBytes(const QString &path, QByteArray *bytes, QString *error, qint64 maxBytes)
{
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("找不到文件“%1”。").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString());
        return false;
    }
    if (maxBytes >= 0 && file.size() > maxBytes) {
        *error = QStringLiteral("文件“%1”太大，不能超过 %2 字节。").arg(path).arg(maxBytes);
        return false;
    }
    // Never more than the limit, even if the file grew since it was measured.
    *bytes = maxBytes >= 0 ? file.read(maxBytes + 1) : file.readAll();
    if (maxBytes >= 0 && bytes->size() > maxBytes) {
        *error = QStringLiteral("文件“%1”太大，不能超过 %2 字节。").arg(path).arg(maxBytes);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString());
        return false;
    }
    return true;
}

namespace {

bool isTrailByte(uchar b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

// Character by character: a byte that starts no GBK character becomes one
// U+FFFD and the bytes after it are read on their own, so one bad byte never
// takes its neighbours (or the whole file) with it.
QString decodeByCharacter(const QByteArray &bytes, QStringDecoder &decoder)
{
    QString text;
    text.reserve(bytes.size());
    const int n = int(bytes.size());
    for (int i = 0; i < n;) {
        const uchar b = uchar(bytes[i]);
        if (b < 0x80) {
            text += QLatin1Char(char(b));
            ++i;
            continue;
        }
        const int len = (b >= 0x81 && b <= 0xFE && i + 1 < n && isTrailByte(uchar(bytes[i + 1]))) ? 2 : 1;
        // No GBK character decodes to U+FFFD, so it marks a failure here.
        decoder.resetState();
        const QString c = decoder.decode(QByteArrayView(bytes.constData() + i, len));
        if (!c.isEmpty() && !c.contains(QChar(QChar::ReplacementCharacter))) {
            text += c;
            i += len;
        } else {
            text += QChar(QChar::ReplacementCharacter);
            ++i;
        }
    }
    return text;
}

}  // namespace

QString decodeGbk(const QByteArray &bytes, bool *ok)
{
    // Stateless: a lead byte cut off at the end of the file is an error, not
    // something to wait for.
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) {  // no ICU: fall back to the ASCII subset
        if (ok)
            *ok = false;
        return QString::fromLatin1(bytes);
    }
    const QString text = decoder.decode(bytes);
    if (ok)
        *ok = !decoder.hasError();
    if (!decoder.hasError())
        return text;
    return decodeByCharacter(bytes, decoder);
}

QByteArray encodeGbk(const QString &text, bool *ok)
{
    QStringEncoder encoder("GBK");
    if (!encoder.isValid()) {
        if (ok)
            *ok = false;
        return text.toLatin1();
    }
    const QByteArray bytes = encoder.encode(text);
    if (ok)
        *ok = !encoder.hasError();
    return bytes;
}

QString joinLines(const QString &text)
{
    QString joined = text;
    joined.remove(QStringLiteral("\r\n"));
    joined.remove(QLatin1Char('\r'));
    return joined;
}

bool writeBytes(const QString &path, const QByteArray &bytes, QString *error)
{
    QString reason;
    if (!DurableSave::write(path, bytes, &reason)) {
        *error = QStringLiteral("无法保存文件“%1”：%2").arg(path, reason);
        return false;
    }
    return true;
}

}  // namespace TextFiles
