#include "songs/midifile/MidiFileWriter.h"

#include "platform/files/DurableSave.h"

#include <QDir>
#include <QSaveFile>

#include <algorithm>

namespace {

constexpr qint64 kNsPerMs = 1000000;

// Largest delta time a file can hold (four bytes of seven bits).
constexpr qint64 kMaxDelta = 0x0FFFFFFF;

qint64 msOf(qint64 ns)
{
    return ns <= 0 ? 0 : (ns + kNsPerMs / 2) / kNsPerMs;
}

void appendBigEndian(QByteArray *out, quint32 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out->append(char((value >> (8 * i)) & 0xFF));
}

// The track's events, each at its tick after the one before.
class TrackBytes {
public:
    QByteArray bytes;

    void at(qint64 tick, const QByteArray &event)
    {
        const qint64 delta = qBound<qint64>(0, tick - lastTick_, kMaxDelta);
        MidiFileWriter::appendVariableLength(&bytes, quint32(delta));
        lastTick_ += delta;
        bytes.append(event);
    }
    void tempo(qint64 tick, int micros)
    {
        QByteArray event("\xFF\x51\x03", 3);
        appendBigEndian(&event, quint32(micros), 3);
        at(tick, event);
    }
    qint64 lastTick() const { return lastTick_; }

private:
    qint64 lastTick_ = 0;
};

// Milliseconds to ticks through the tempo map, writing its tempo events as
// they are passed. Times must come in order.
class TickMap {
public:
    TickMap(const MidiFileWriter::Timing &timing, TrackBytes *track) : track_(track)
    {
        // A stretch before the first tempo, or a file without any, counts
        // milliseconds.
        if (timing.tempos.isEmpty() || msOf(timing.tempos.first().ns) > 0)
            changes_.append({0, 0});
        for (const MidiFileWriter::Timing::Tempo &t : timing.tempos)
            changes_.append({msOf(t.ns), qMax(0, t.eighthBeatMs)});
    }

    qint64 tickAt(qint64 ms)
    {
        while (next_ < changes_.size() && changes_[next_].ms <= ms) {
            const Change &c = changes_[next_++];
            const qint64 tick = within(c.ms);
            startMs_ = c.ms;
            startTick_ = tick;
            unitMs_ = c.unitMs;
            returnMs_ = -1;
            track_->tempo(tick, micros(unitMs_));
        }
        return within(ms);
    }

private:
    struct Change {
        qint64 ms = 0;
        int unitMs = 0;  // 0: one tick a millisecond
    };

    static int micros(int unitMs)
    {
        return unitMs > 0 ? MidiFileWriter::microsPerQuarter(unitMs) : MidiFileWriter::kMillisecondTempo;
    }

    // The tick of `ms` at the tempo in force.
    qint64 within(qint64 ms)
    {
        if (returnMs_ >= 0) {
            if (ms < returnMs_)
                return startTick_ + (ms - startMs_);
            // Back on the unit grid after the stretch.
            startTick_ += returnMs_ - startMs_;
            startMs_ = returnMs_;
            returnMs_ = -1;
            track_->tempo(startTick_, micros(unitMs_));
        }
        const qint64 d = ms - startMs_;
        if (unitMs_ == 0)
            return startTick_ + d;
        const qint64 scaled = d * MidiFileWriter::kTicksPerUnit;
        if (scaled % unitMs_ == 0)
            return startTick_ + scaled / unitMs_;
        // Between two ticks: one tick a millisecond from the unit before to
        // the unit after, so every millisecond in it has its tick.
        const qint64 units = d / unitMs_;
        startMs_ += units * unitMs_;
        startTick_ += units * MidiFileWriter::kTicksPerUnit;
        returnMs_ = startMs_ + unitMs_;
        track_->tempo(startTick_, MidiFileWriter::kMillisecondTempo);
        return startTick_ + (ms - startMs_);
    }

    TrackBytes *track_;
    QVector<Change> changes_;
    int next_ = 0;
    qint64 startMs_ = 0;
    qint64 startTick_ = 0;
    int unitMs_ = 0;
    qint64 returnMs_ = -1;  // in a stretch of milliseconds: where it ends
};

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

QByteArray MidiFileWriter::fileBytes(const QVector<TimedMidiMessage> &messages, qint64 endNs,
                                     const Timing &timing)
{
    QVector<TimedMidiMessage> sorted = messages;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TimedMidiMessage &a, const TimedMidiMessage &b) { return msOf(a.ns) < msOf(b.ns); });

    TrackBytes track;
    // The bar: beats of a quarter note, 24 clocks a click, 8 32nds a quarter.
    const int beats = qBound(1, timing.beatsPerBar, 255);
    track.at(0, QByteArray("\xFF\x58\x04", 3) + char(beats) + char(2) + char(24) + char(8));
    track.at(0, QByteArray("\xFF\x59\x02", 3) + char(qBound(-7, timing.keySharps, 7)) + char(0));
    TickMap ticks(timing, &track);
    qint64 lastMs = 0;
    for (const TimedMidiMessage &m : std::as_const(sorted)) {
        const int length = channelMessageLength(m.message);
        if (length == 0)
            continue;
        lastMs = msOf(m.ns);
        const char bytes[3] = {char(m.message.status), char(m.message.data1), char(m.message.data2)};
        track.at(ticks.tickAt(lastMs), QByteArray(bytes, length));
    }
    // Tempo changes after the last message still count up to the end.
    track.at(ticks.tickAt(qMax(lastMs, msOf(endNs))), QByteArray("\xFF\x2F\x00", 3));

    QByteArray file;
    file.append("MThd", 4);
    appendBigEndian(&file, 6, 4);
    appendBigEndian(&file, 0, 2);  // format 0: a single track
    appendBigEndian(&file, 1, 2);
    appendBigEndian(&file, kTicksPerQuarter, 2);
    file.append("MTrk", 4);
    appendBigEndian(&file, quint32(track.bytes.size()), 4);
    file.append(track.bytes);
    return file;
}

bool MidiFileWriter::write(const QString &path, const QVector<TimedMidiMessage> &messages, qint64 endNs,
                           QString *error, const Timing &timing)
{
    const QByteArray bytes = fileBytes(messages, endNs, timing);
    QString reason;
    if (!DurableSave::write(path, bytes, &reason)) {
        *error = QStringLiteral("无法写入文件“%1”：%2\n%3").arg(QDir::toNativeSeparators(path), reason, writeHint());
        return false;
    }
    return true;
}
