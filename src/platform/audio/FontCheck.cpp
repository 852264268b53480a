#include "platform/audio/FontCheck.h"

#include "platform/audio/FontRiff.h"
#include "platform/audio/SynthSetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <algorithm>

using namespace FontRiff;

namespace {

// Samples whose data are looked at before a font is called silent, and how
// much of each (from its middle).
constexpr int kSamplesLookedAt = 16;
constexpr qint64 kBytesLookedAt = 256;
// A sample table larger than this is no font's (65536 samples at most).
constexpr qint64 kMaxSampleTable = qint64(kSampleHeaderBytes) * 65536;

bool anyNonZero(const QByteArray &bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c != 0; });
}

// Whether some sample of the table lies inside the sample data and holds
// something else than zeros.
bool hasSound(QFile &file)
{
    Lists lists;
    if (!findLists(file, &lists))
        return false;
    const Chunk &sdta = lists.sdta, &pdta = lists.pdta;
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
        const quint16 type = u16(h + kSampleType);
        if (type & kInRom)
            continue;
        const qint64 unit = (type & kCompressed) ? 1 : 2;
        const qint64 first = qint64(u32(h + kSampleStart)) * unit, last = qint64(u32(h + kSampleEnd)) * unit;
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
