#include "platform/media/TakeRepair.h"

#include "platform/files/RecordFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QtEndian>

namespace {

// All the chunks before the samples lie in the first bytes of a take.
constexpr qint64 kHeaderLimit = 64 * 1024;
constexpr qint64 kRiffLimit = 0xFFFFFFFFLL;

quint32 u32(const QByteArray &b, qint64 at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

bool put(QFileDevice &file, qint64 at, const QByteArray &bytes)
{
    return file.seek(at) && file.write(bytes) == bytes.size();
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le64(quint64 v)
{
    QByteArray b(8, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

}  // namespace

namespace TakeRepair {

qint64 fixHeader(QFileDevice &file, QString *error)
{
    const qint64 size = file.size();
    if (!file.seek(0)) {
        *error = QStringLiteral("无法读取录音文件：%1").arg(file.errorString());
        return -1;
    }
    const QByteArray head = file.read(qMin(size, kHeaderLimit));
    if (head.size() < 12 || (!head.startsWith("RIFF") && !head.startsWith("RF64")) || head.mid(8, 4) != "WAVE") {
        *error = QStringLiteral("不是WAV录音文件");
        return -1;
    }
    // Walk the chunks up to "data".
    qint64 pos = 12, first = -1, fact = -1, fmtAt = -1, fmtLength = 0, blockAlign = 0, dataStart = -1;
    while (pos + 8 <= head.size()) {
        const QByteArray id = head.mid(int(pos), 4);
        const qint64 length = u32(head, pos + 4);
        if (first < 0)
            first = pos;
        if (id == "data") {
            dataStart = pos + 8;
            break;
        }
        if (id == "fmt " && length >= 16 && pos + 8 + length <= head.size()) {
            fmtAt = pos;
            fmtLength = length + (length & 1);
            blockAlign = qFromLittleEndian<quint16>(head.constData() + pos + 20);
        } else if (id == "fact" && length >= 4) {
            fact = pos + 8;
        }
        pos += 8 + length + (length & 1);
    }
    if (dataStart < 0 || blockAlign <= 0) {
        *error = QStringLiteral("录音文件的头部已损坏");
        return -1;
    }
    const qint64 dataBytes = qMax<qint64>(0, size - dataStart) / blockAlign * blockAlign;
    const qint64 frames = dataBytes / blockAlign;
    const qint64 riffSize = dataStart + dataBytes - 8;
    bool ok = true;
    if (riffSize <= kRiffLimit) {
        ok = put(file, 0, "RIFF" + le32(quint32(riffSize))) && put(file, dataStart - 4, le32(quint32(dataBytes)));
        // A ds64 chunk no longer needed is skipped by readers as JUNK.
        if (ok && head.mid(int(first), 4) == "ds64")
            ok = put(file, first, "JUNK");
    } else {
        // RF64: the chunks between "WAVE" and "data" are written anew as
        // ds64 (the three 64-bit sizes), the format, and JUNK for the rest.
        const qint64 room = dataStart - 8 - 12;
        const QByteArray format = head.mid(int(fmtAt), int(8 + fmtLength));
        const qint64 rest = room - 36 - format.size();
        if (rest < 0 || (rest > 0 && rest < 8)) {
            *error = QStringLiteral("录音太长，头部无法写下它的长度");
            return -1;
        }
        QByteArray chunks = "ds64" + le32(28) + le64(quint64(riffSize)) + le64(quint64(dataBytes))
                            + le64(quint64(frames)) + le32(0) + format;
        if (rest > 0)
            chunks += "JUNK" + le32(quint32(rest - 8)) + QByteArray(int(rest - 8), '\0');
        ok = put(file, 0, "RF64" + le32(0xFFFFFFFFu)) && put(file, 12, chunks)
             && put(file, dataStart - 4, le32(0xFFFFFFFFu));
        fact = -1;  // gone with the rewritten chunks
    }
    if (ok && fact >= 0)
        ok = put(file, fact, le32(quint32(qMin<qint64>(frames, kRiffLimit))));
    // A frame cut short by the end of the writing is dropped.
    if (ok && size > dataStart + dataBytes)
        ok = file.resize(dataStart + dataBytes);
    if (ok)
        ok = file.flush();
    if (!ok) {
        *error = QStringLiteral("无法修复录音文件：%1").arg(file.errorString());
        return -1;
    }
    return frames;
}

qint64 fixHeader(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("无法打开录音文件：%1").arg(file.errorString());
        return -1;
    }
    return fixHeader(file, error);
}

QString keptName(const QString &folder, const QDateTime &when)
{
    return RecordFolder::keptName(folder, QStringLiteral("录音"), QStringLiteral("wav"), when);
}

}  // namespace TakeRepair
