#include "songs/midifile/MidiFile.h"

#include "platform/files/TextFiles.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <vector>

int MidiSong::noteCount() const
{
    int n = 0;
    for (const MidiTrack &t : tracks)
        n += int(t.notes.size());
    return n;
}

namespace MidiFile {

namespace {

quint32 bigEndian(const QByteArray &b, qsizetype at, int bytes)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

// Names in MIDI files carry no encoding: UTF-8 when they are valid UTF-8,
// else GBK, as Chinese MIDI files are written.
QString decodeName(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    const QString name = utf8.hasError() ? TextFiles::decodeGbk(bytes) : text;
    return name.simplified();
}

// Reads one track chunk. Damage ends the track with a warning; the notes
// read before it stay.
class TrackReader {
public:
    TrackReader(QByteArray data, int trackNumber, MidiSong &song)
        : d_(std::move(data)), number_(trackNumber), song_(song), open_(16 * 128, -1)
    {
    }

    MidiTrack read()
    {
        while (p_ < d_.size()) {
            quint32 delta = 0;
            if (!readVariable(&delta))
                break;
            tick_ += delta;
            if (p_ >= d_.size()) {
                damaged(QStringLiteral("事件不完整"));
                break;
            }
            if (!readEvent())
                break;
            ++events_;
        }
        // Notes still sounding when the track ends stop there.
        for (int &index : open_) {
            if (index >= 0)
                track_.notes[index].end = tick_;
            index = -1;
        }
        if (track_.name.isEmpty())
            track_.name = instrument_;
        return track_;
    }

private:
    // A variable-length quantity: at most four bytes of seven bits.
    bool readVariable(quint32 *value)
    {
        quint32 v = 0;
        for (int i = 0; i < 4; ++i) {
            if (p_ >= d_.size()) {
                damaged(QStringLiteral("事件不完整"));
                return false;
            }
            const quint8 c = quint8(d_[p_++]);
            v = (v << 7) | (c & 0x7F);
            if (!(c & 0x80)) {
                *value = v;
                return true;
            }
        }
        damaged(QStringLiteral("长度值超过四个字节"));
        return false;
    }

    // Returns false when the track cannot be read on.
    bool readEvent()
    {
        quint8 status = quint8(d_[p_]);
        if (status & 0x80) {
            ++p_;
            if (status < 0xF0)
                running_ = status;
        } else if (running_ != 0) {
            status = running_;  // running status: the data bytes follow at once
        } else {
            damaged(QStringLiteral("数据字节前没有状态字节"));
            return false;
        }

        if (status == 0xFF)
            return readMeta();
        if (status == 0xF0 || status == 0xF7) {
            running_ = 0;
            quint32 length = 0;
            return readVariable(&length) && skip(length);
        }
        if (status >= 0xF8)
            return true;  // real-time bytes carry no data
        if (status >= 0xF1) {
            running_ = 0;
            return skip(status == 0xF2 ? 2 : (status == 0xF1 || status == 0xF3) ? 1 : 0);
        }
        const int kind = status & 0xF0;
        const int count = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
        if (d_.size() - p_ < count) {
            damaged(QStringLiteral("事件不完整"));
            return false;
        }
        const quint8 data1 = quint8(d_[p_]) & 0x7F;
        const quint8 data2 = count > 1 ? quint8(d_[p_ + 1]) & 0x7F : 0;
        p_ += count;
        const int channel = status & 0x0F;
        if (kind == 0x90 && data2 > 0)
            noteOn(channel, data1, data2);
        else if (kind == 0x80 || kind == 0x90)
            noteOff(channel, data1);
        else if (kind == 0xC0 && track_.programs[size_t(channel)] < 0)
            track_.programs[size_t(channel)] = data1;
        return true;
    }

    bool readMeta()
    {
        running_ = 0;
        if (p_ >= d_.size()) {
            damaged(QStringLiteral("事件不完整"));
            return false;
        }
        const quint8 type = quint8(d_[p_++]);
        quint32 length = 0;
        if (!readVariable(&length))
            return false;
        if (quint64(length) > quint64(d_.size() - p_)) {
            damaged(QStringLiteral("事件长度超出音轨"));
            return false;
        }
        const QByteArray data = d_.mid(p_, qsizetype(length));
        p_ += qsizetype(length);
        switch (type) {
        case 0x03:
            if (track_.name.isEmpty())
                track_.name = decodeName(data);
            break;
        case 0x04:
            if (instrument_.isEmpty())
                instrument_ = decodeName(data);
            break;
        case 0x51:
            if (data.size() >= 3) {
                const int micros = int(bigEndian(data, 0, 3));
                if (micros > 0)
                    song_.tempos.append({tick_, micros});
                else
                    warn(QStringLiteral("第%1轨有速度为0的速度事件，已忽略。").arg(number_));
            }
            break;
        case 0x58:
            if (data.size() >= 2 && data[0] > 0 && quint8(data[1]) <= 6)
                song_.times.append({tick_, quint8(data[0]), 1 << quint8(data[1])});
            break;
        case 0x59:
            if (data.size() >= 2 && qint8(data[0]) >= -7 && qint8(data[0]) <= 7)
                song_.keys.append({tick_, qint8(data[0]), data[1] != 0});
            break;
        case 0x2F:
            p_ = d_.size();  // end of track: anything after it is not read
            break;
        default:
            break;
        }
        return true;
    }

    bool skip(quint32 count)
    {
        if (quint64(count) > quint64(d_.size() - p_)) {
            damaged(QStringLiteral("事件长度超出音轨"));
            return false;
        }
        p_ += qsizetype(count);
        return true;
    }

    void noteOn(int channel, quint8 pitch, quint8 velocity)
    {
        int &index = open_[size_t(channel * 128 + pitch)];
        // Struck again while it sounds: the earlier note ends here.
        if (index >= 0)
            track_.notes[index].end = tick_;
        index = int(track_.notes.size());
        track_.notes.append({tick_, tick_, quint8(channel), pitch, velocity});
    }

    void noteOff(int channel, quint8 pitch)
    {
        int &index = open_[size_t(channel * 128 + pitch)];
        if (index >= 0)
            track_.notes[index].end = tick_;
        index = -1;
    }

    void damaged(const QString &what)
    {
        if (!song_.damagedTracks.contains(number_))
            song_.damagedTracks << number_;
        if (events_ == 0)
            warn(QStringLiteral("第%1轨从开头就已损坏（%2），整个音轨都没有读取。").arg(number_).arg(what));
        else
            warn(QStringLiteral("第%1轨在第%2字节处损坏（%3），其后的内容没有读取。").arg(number_).arg(p_).arg(what));
    }

    void warn(const QString &text)
    {
        if (!song_.warnings.contains(text))
            song_.warnings << text;
    }

    const QByteArray d_;
    const int number_;
    MidiSong &song_;
    MidiTrack track_;
    QString instrument_;
    std::vector<int> open_;  // note index sounding per channel and pitch, -1 none
    qsizetype p_ = 0;
    int events_ = 0;  // read whole
    qint64 tick_ = 0;
    quint8 running_ = 0;
};

// A chunk mark where a track should stand that is "MTrk" with one byte
// changed, or no mark at all (marks are four letters or digits): a track
// whose first bytes are damaged. Chunks of other names are allowed beside
// the tracks and skipped.
bool isDamagedTrackMark(const QByteArray &id)
{
    int differ = 0;
    bool name = true;
    for (int i = 0; i < 4; ++i) {
        differ += id[i] != "MTrk"[i] ? 1 : 0;
        name = name && std::isalnum(static_cast<unsigned char>(id[i]));
    }
    return differ == 1 || !name;
}

QString damagedFile(const QString &what)
{
    return QStringLiteral("MIDI文件已损坏：%1。").arg(what);
}

// Format 2 holds independent patterns, each with its own tempo: the first
// that has notes is the song.
void firstPatternOnly(MidiSong *song, const QVector<int> &tempoTracks)
{
    int first = 0;
    while (first + 1 < song->tracks.size() && song->tracks[first].notes.isEmpty())
        ++first;
    int patterns = 0;
    for (const MidiTrack &t : song->tracks)
        patterns += t.notes.isEmpty() ? 0 : 1;
    if (patterns > 1)
        song->warnings << QStringLiteral("这是格式2的MIDI文件，其中有%1个独立的段落，只导入了第一个（第%2轨）。")
                              .arg(patterns)
                              .arg(first + 1);
    QVector<MidiTempo> tempos;
    for (int i = 0; i < song->tempos.size(); ++i) {
        if (tempoTracks.value(i) == first)
            tempos << song->tempos[i];
    }
    song->tempos = tempos;
    for (int i = 0; i < song->tracks.size(); ++i) {
        if (i != first)
            song->tracks[i].notes.clear();
    }
}

}  // namespace

bool parse(const QByteArray &bytes, MidiSong *song, QString *error)
{
    *song = MidiSong();
    if (bytes.isEmpty()) {
        *error = QStringLiteral("这不是MIDI文件：文件是空的。");
        return false;
    }
    if (!bytes.startsWith("MThd") && !QByteArray("MThd").startsWith(bytes)) {
        *error = QStringLiteral("这不是MIDI文件：文件开头没有MIDI文件的标记“MThd”。");
        return false;
    }
    if (bytes.size() < 14) {
        *error = damagedFile(QStringLiteral("文件头不完整，文件只有%1个字节（文件可能没有下载完）").arg(bytes.size()));
        return false;
    }
    const quint32 headerLength = bigEndian(bytes, 4, 4);
    if (headerLength < 6) {
        *error = damagedFile(QStringLiteral("文件头太短"));
        return false;
    }
    song->format = int(bigEndian(bytes, 8, 2));
    if (song->format > 2) {
        *error = QStringLiteral("不支持格式为%1的MIDI文件，只能读取格式0、1和2。").arg(song->format);
        return false;
    }
    const quint32 division = bigEndian(bytes, 12, 2);
    if (division & 0x8000) {
        const int fps = -int(qint8(division >> 8));
        const int perFrame = int(division & 0xFF);
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0) {
            *error = damagedFile(QStringLiteral("时间单位无效"));
            return false;
        }
        song->ticksPerSecond = (fps == 29 ? 29.97 : double(fps)) * perFrame;
    } else if (division == 0) {
        *error = damagedFile(QStringLiteral("每四分音符的刻度数为0"));
        return false;
    } else {
        song->ticksPerQuarter = int(division);
    }

    const int declaredTracks = int(bigEndian(bytes, 10, 2));
    qint64 p = 8 + qint64(headerLength);
    QVector<int> tempoTracks;  // per tempo event, the index of its track
    int chunk = 0;
    while (p + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(p, 4);
        qint64 length = bigEndian(bytes, p + 4, 4);
        p += 8;
        ++chunk;
        if (length > bytes.size() - p) {
            song->warnings << QStringLiteral("第%1块的长度超出了文件末尾（文件不完整），只读取到文件末尾。").arg(chunk);
            length = bytes.size() - p;
        }
        if (id == "MTrk") {
            // The header counts tracks in 16 bits: more are no song.
            if (song->tracks.size() == 0xFFFF) {
                song->warnings << QStringLiteral("文件中的音轨超过65535个，其余的没有读取。");
                break;
            }
            TrackReader reader(bytes.mid(p, length), int(song->tracks.size()) + 1, *song);
            const int temposBefore = int(song->tempos.size());
            song->tracks.append(reader.read());
            tempoTracks.insert(temposBefore, int(song->tempos.size()) - temposBefore, int(song->tracks.size()) - 1);
        } else if (song->tracks.size() < declaredTracks && isDamagedTrackMark(id)) {
            // Where a track should stand, a mark no chunk has: the track's
            // first bytes are damaged. It counts, so the later ones keep
            // their numbers.
            const int number = int(song->tracks.size()) + 1;
            song->damagedTracks << number;
            song->warnings << QStringLiteral("第%1轨从开头就已损坏（音轨标记“MTrk”变成了“%2”），整个音轨都没有读取。")
                                  .arg(number)
                                  .arg(QString::fromLatin1(id.toPercentEncoding()));
            song->tracks.append(MidiTrack());
        }
        p += length;
    }
    if (song->tracks.isEmpty()) {
        *error = damagedFile(QStringLiteral("文件中没有音轨"));
        return false;
    }
    if (declaredTracks > song->tracks.size())
        song->warnings << QStringLiteral("文件头写有%1个音轨，文件中只有%2个（文件可能不完整），已读取这%2个。")
                              .arg(declaredTracks)
                              .arg(song->tracks.size());
    if (song->format == 2)
        firstPatternOnly(song, tempoTracks);
    const auto byTick = [](const auto &a, const auto &b) { return a.tick < b.tick; };
    std::stable_sort(song->tempos.begin(), song->tempos.end(), byTick);
    std::stable_sort(song->keys.begin(), song->keys.end(), byTick);
    std::stable_sort(song->times.begin(), song->times.end(), byTick);
    return true;
}

bool read(const QString &path, MidiSong *song, QString *error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = info.isDir() ? QStringLiteral("“%1”是文件夹，不是文件。").arg(path)
                              : QStringLiteral("“%1”不是文件（是设备或管道），无法作为MIDI文件导入。").arg(path);
        return false;
    }
    if (info.isFile() && info.size() > kMaxFileBytes) {
        *error = QStringLiteral("MIDI文件太大（%1 KB），最多只能导入%2 KB的文件。")
                     .arg((info.size() + 1023) / 1024)
                     .arg(kMaxFileBytes / 1024);
        return false;
    }
    QByteArray bytes;
    QString reason;
    if (!TextFiles::readBytes(path, &bytes, &reason, kMaxFileBytes)) {
        *error = QStringLiteral("无法打开MIDI文件。\n%1").arg(reason);
        return false;
    }
    return parse(bytes, song, error);
}

}  // namespace MidiFile
