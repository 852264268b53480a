#include "songs/MidiFileWriter.h"

#include "platform/files/DurableSave.h"

#include <QDir>
#include <QSaveFile>

#include <algorithm>

namespace {

constexpr qint64 kNsPerTick = 1000000;  // one tick is one millisecond

// Largest delta time a file can hold (four bytes of seven bits).
constexpr qint64 kMaxDelta = 0x0FFFFFFF;

qint64 tickOf(qint64 ns)
{
    return ns <= 0 ? 0 : (ns + kNsPerTick / 2) / kNsPerTick;
}

void appendBigEndian(QByteArray *out, quint32 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out->append(char((value >> (8 * i)) & 0xFF));
}

void appendDelta(QByteArray *out, qint64 *lastTick, qint64 tick)
{
    const qint64 delta = qBound<qint64>(0, tick - *lastTick, kMaxDelta);
    MidiFileWriter::appendVariableLength(out, quint32(delta));
    *lastTick += delta;
}

}  // namespace

QString MidiFileWriter::writeHint()
{
    return QStringLiteral("请检查文件夹是否存在、是否可以写入、磁盘是否已满，或换一个文件名。");
}

void MidiFileWriter::appendVariableLength(QByteArray *out, quint32 value)
{
    value &= 0x0FFFFFFF;
    char bytes[4];
    int n = 0;
    bytes[n++] = char(value & 0x7F);
    while ((value >>= 7) != 0)
        bytes[n++] = char(0x80 | (value & 0x7F));
    while (n > 0)
        out->append(bytes[--n]);
}

int MidiFileWriter::channelMessageLength(const MidiMessage &message)
{
    // A program or pressure change has one data byte; the third byte means
    // nothing there.
    return message.isValidChannelMessage() ? message.length() : 0;
}

QByteArray MidiFileWriter::fileBytes(const QVector<TimedMidiMessage> &messages, qint64 endNs)
{
    QVector<TimedMidiMessage> sorted = messages;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TimedMidiMessage &a, const TimedMidiMessage &b) { return tickOf(a.ns) < tickOf(b.ns); });

    QByteArray track;
    qint64 lastTick = 0;
    // Tempo at the start: microseconds per quarter note, three bytes.
    appendDelta(&track, &lastTick, 0);
    track.append("\xFF\x51\x03", 3);
    appendBigEndian(&track, kMicrosecondsPerQuarter, 3);

    for (const TimedMidiMessage &m : std::as_const(sorted)) {
        const int length = channelMessageLength(m.message);
        if (length == 0)
            continue;
        appendDelta(&track, &lastTick, tickOf(m.ns));
        const char bytes[3] = {char(m.message.status), char(m.message.data1), char(m.message.data2)};
        track.append(bytes, length);
    }
    appendDelta(&track, &lastTick, qMax(lastTick, tickOf(endNs)));
    track.append("\xFF\x2F\x00", 3);

    QByteArray file;
    file.append("MThd", 4);
    appendBigEndian(&file, 6, 4);
    appendBigEndian(&file, 0, 2);  // format 0: a single track
    appendBigEndian(&file, 1, 2);
    appendBigEndian(&file, kTicksPerQuarter, 2);
    file.append("MTrk", 4);
    appendBigEndian(&file, quint32(track.size()), 4);
    file.append(track);
    return file;
}

bool MidiFileWriter::write(const QString &path, const QVector<TimedMidiMessage> &messages, qint64 endNs,
                           QString *error)
{
    const QByteArray bytes = fileBytes(messages, endNs);
    QString reason;
    if (!DurableSave::write(path, bytes, &reason)) {
        *error = QStringLiteral("无法写入文件“%1”：%2\n%3").arg(QDir::toNativeSeparators(path), reason, writeHint());
        return false;
    }
    return true;
}
