#include "platform/audio/FontCheck.h"

#include "platform/audio/SynthSetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <algorithm>

namespace {

// One sample's header in the font's sample table.
constexpr int kSampleHeaderBytes = 46;
// Sample types: compressed (SF3, offsets in bytes) and in ROM (no data in the file).
constexpr quint16 kCompressed = 0x10;
constexpr quint16 kInRom = 0x8000;
// Samples whose data are looked at before a font is called silent, and how
// much of each (from its middle).
constexpr int kSamplesLookedAt = 16;
constexpr qint64 kBytesLookedAt = 256;
// A sample table larger than this is no font's (65536 samples at most).
constexpr qint64 kMaxSampleTable = qint64(kSampleHeaderBytes) * 65536;

quint32 u32(const char *p)
{
    const auto *b = reinterpret_cast<const uchar *>(p);
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}

quint16 u16(const char *p)
{
    const auto *b = reinterpret_cast<const uchar *>(p);
    return quint16(b[0] | b[1] << 8);
}

bool isChunkId(const char *p)
{
    return std::all_of(p, p + 4, [](char c) { return c >= 0x20 && c < 0x7F; });
}

// Where the chunk after one of `size` bytes at `at` begins. RIFF pads a
// chunk of odd size with one byte; some fonts' writers forget to.
qint64 nextChunk(QFile &file, qint64 at, qint64 size)
{
    const qint64 next = at + 8 + size;
    char id[4];
    if ((size & 1) && file.seek(next) && file.read(id, 4) == 4 && isChunkId(id))
        return next;
    return next + (size & 1);
}

// A chunk of the RIFF file: where its data begin and how long they are.
struct Chunk {
    qint64 data = -1;
    qint64 size = 0;
};

// The sub-chunk `id` of the list that spans [from, end).
Chunk findChunk(QFile &file, qint64 from, qint64 end, const char *id)
{
    qint64 at = from;
    while (at + 8 <= end) {
        char head[8];
        if (!file.seek(at) || file.read(head, 8) != 8)
            break;
        const qint64 size = u32(head + 4);
        if (qstrncmp(head, id, 4) == 0)
            return {at + 8, std::min(size, end - at - 8)};
        at = nextChunk(file, at, size);
    }
    return {};
}

// The list `type` ("sdta", "pdta") among the chunks of the RIFF form.
Chunk findList(QFile &file, qint64 end, const char *type)
{
    qint64 at = 12;
    while (at + 12 <= end) {
        char head[12];
        if (!file.seek(at) || file.read(head, 12) != 12)
            break;
        const qint64 size = u32(head + 4);
        if (qstrncmp(head, "LIST", 4) == 0 && qstrncmp(head + 8, type, 4) == 0)
            return {at + 12, std::min(size - 4, end - at - 12)};
        at = nextChunk(file, at, size);
    }
    return {};
}

bool anyNonZero(const QByteArray &bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c != 0; });
}

// Whether some sample of the table lies inside the sample data and holds
// something else than zeros.
bool hasSound(QFile &file)
{
    char head[12];
    if (file.read(head, 12) != 12 || qstrncmp(head, "RIFF", 4) != 0 || qstrncmp(head + 8, "sfbk", 4) != 0)
        return false;
    const qint64 end = std::min(file.size(), qint64(u32(head + 4)) + 8);
    const Chunk sdta = findList(file, end, "sdta");
    const Chunk pdta = findList(file, end, "pdta");
    if (sdta.data < 0 || pdta.data < 0)
        return false;
    const Chunk smpl = findChunk(file, sdta.data, sdta.data + sdta.size, "smpl");
    const Chunk shdr = findChunk(file, pdta.data, pdta.data + pdta.size, "shdr");
    if (smpl.data < 0 || smpl.size <= 0 || shdr.data < 0 || shdr.size > kMaxSampleTable)
        return false;
    if (!file.seek(shdr.data))
        return false;
    const QByteArray table = file.read(shdr.size);
    // The last header only closes the table.
    const int samples = int(table.size() / kSampleHeaderBytes) - 1;
    int lookedAt = 0;
    for (int i = 0; i < samples && lookedAt < kSamplesLookedAt; ++i) {
        const char *h = table.constData() + qint64(i) * kSampleHeaderBytes;
        const quint16 type = u16(h + 44);
        if (type & kInRom)
            continue;
        const qint64 unit = (type & kCompressed) ? 1 : 2;
        const qint64 first = qint64(u32(h + 20)) * unit, last = qint64(u32(h + 24)) * unit;
        if (first >= last || last > smpl.size)
            continue;
        ++lookedAt;
        const qint64 length = std::min(kBytesLookedAt, last - first);
        if (file.seek(smpl.data + first + (last - first - length) / 2 / unit * unit)
            && anyNonZero(file.read(length)))
            return true;
    }
    return false;
}

}  // namespace

namespace FontCheck {

Verdict examine(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return Verdict::Missing;
    if (!info.isFile())
        return Verdict::NotAFile;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Verdict::Broken;
    return hasSound(file) ? Verdict::Usable : Verdict::Broken;
}

Verdict load(fluid_synth_t *synth, const QString &path)
{
    const Verdict verdict = examine(path);
    if (verdict != Verdict::Usable)
        return verdict;
    return fluid_synth_sfload(synth, QFile::encodeName(path).constData(), 1) == FLUID_FAILED ? Verdict::Broken
                                                                                            : Verdict::Usable;
}

QString refusalText(const QString &path, Verdict verdict)
{
    const QString shown = QDir::toNativeSeparators(path);
    switch (verdict) {
    case Verdict::Missing:
        return QStringLiteral("找不到音色库文件“%1”。").arg(shown);
    case Verdict::NotAFile:
        return QStringLiteral("“%1”不是文件，不能用作音色库（SF2或SF3文件）。").arg(shown);
    default:
        return SynthSetup::notASoundFontText(path);
    }
}

}  // namespace FontCheck
