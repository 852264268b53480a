#include "platform/audio/FontSamples.h"

#include "platform/audio/FontFile.h"
#include "platform/audio/FontRiff.h"

#include <QFile>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

using namespace FontRiff;

namespace {

// Record sizes of the font's tables: preset headers, zones (bags),
// generators, instrument headers.
constexpr int kPresetBytes = 38;
constexpr int kBagBytes = 4;
constexpr int kGenBytes = 4;
constexpr int kInstrumentBytes = 22;
// Generators that lead a zone to an instrument and to a sample.
constexpr quint16 kInstrumentGen = 41;
constexpr quint16 kSampleGen = 53;
// No font's table is larger (a bag or generator index has 16 bits).
constexpr qint64 kMaxTable = qint64(kSampleHeaderBytes) * 65536;
// Stretches this close are read as one: a read costs more than the gap.
constexpr qint64 kJoinGap = 64 * 1024;
// FluidSynth reads through stdio, a buffer at a time from where it seeks:
// each stretch is read out to whole pages and one buffer beyond.
constexpr qint64 kPage = 4096;
constexpr qint64 kReadBuffer = 4096;

// One table of the font's "pdta" list, as records.
struct Table {
    QByteArray bytes;
    int recordBytes = 1;
    int count() const { return int(bytes.size() / recordBytes); }
    const char *at(int i) const { return bytes.constData() + qint64(i) * recordBytes; }
};

bool readTable(QFile &file, const Chunk &pdta, const char *id, int recordBytes, Table &table)
{
    const Chunk c = findChunk(file, pdta.data, pdta.data + pdta.size, id);
    if (c.data < 0 || c.size > kMaxTable || !file.seek(c.data))
        return false;
    table.recordBytes = recordBytes;
    table.bytes = file.read(c.size);
    // A table ends with a record that only closes it.
    return table.bytes.size() == c.size && table.count() >= 2;
}

// The amounts of the generators `oper` of the zones [firstBag, endBag),
// each zone's generators given by the bags' indexes into `gens`.
template<typename Found>
void eachGen(const Table &bags, const Table &gens, int firstBag, int endBag, quint16 oper, Found found)
{
    for (int b = std::max(firstBag, 0); b < endBag && b + 1 < bags.count(); ++b) {
        const int first = u16(bags.at(b)), end = std::min(int(u16(bags.at(b + 1))), gens.count());
        for (int g = first; g < end; ++g) {
            if (u16(gens.at(g)) == oper)
                found(int(u16(gens.at(g) + 2)));
        }
    }
}

FontSamples::Range clamped(qint64 first, qint64 end, const Chunk &c)
{
    first = std::clamp(first, qint64(0), c.size);
    end = std::clamp(end, first, c.size);
    return {c.data + first, c.data + end};
}

}  // namespace

bool FontSamples::open(const QString &path)
{
    clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Lists lists;
    if (!findLists(file, &lists))
        return false;
    const Chunk &sdta = lists.sdta, &pdta = lists.pdta;
    const Chunk smpl = findChunk(file, sdta.data, sdta.data + sdta.size, "smpl");
    const Chunk sm24 = findChunk(file, sdta.data, sdta.data + sdta.size, "sm24");
    Table phdr, pbag, pgen, inst, ibag, igen, shdr;
    if (smpl.data < 0 || !readTable(file, pdta, "phdr", kPresetBytes, phdr)
        || !readTable(file, pdta, "pbag", kBagBytes, pbag) || !readTable(file, pdta, "pgen", kGenBytes, pgen)
        || !readTable(file, pdta, "inst", kInstrumentBytes, inst) || !readTable(file, pdta, "ibag", kBagBytes, ibag)
        || !readTable(file, pdta, "igen", kGenBytes, igen) || !readTable(file, pdta, "shdr", kSampleHeaderBytes, shdr))
        return false;

    const int sampleCount = shdr.count() - 1;
    samples_.resize(std::size_t(sampleCount));
    for (int i = 0; i < sampleCount; ++i) {
        const char *h = shdr.at(i);
        const quint16 type = u16(h + kSampleType);
        if (type & kInRom)
            continue;
        // FluidSynth reads from the first point to the last one, both in.
        const qint64 first = u32(h + kSampleStart), last = u32(h + kSampleEnd);
        SampleBytes &s = samples_[std::size_t(i)];
        if (type & kCompressed) {
            s.data = clamped(first, last + 1, smpl);
        } else {
            s.data = clamped(2 * first, 2 * (last + 1), smpl);
            if (sm24.data >= 0)
                s.low = clamped(first, last + 1, sm24);
        }
    }

    // Each instrument's samples, then each preset's through its instruments.
    std::vector<std::vector<int>> instrumentSamples(std::size_t(inst.count() - 1));
    for (int i = 0; i + 1 < inst.count(); ++i) {
        eachGen(ibag, igen, u16(inst.at(i) + 20), u16(inst.at(i + 1) + 20), kSampleGen, [&](int sample) {
            if (sample < sampleCount)
                instrumentSamples[std::size_t(i)].push_back(sample);
        });
    }
    for (int p = 0; p + 1 < phdr.count(); ++p) {
        Preset preset;
        preset.bankProgram = int(u16(phdr.at(p) + 22)) << 8 | (u16(phdr.at(p) + 20) & 0xFF);
        eachGen(pbag, pgen, u16(phdr.at(p) + 24), u16(phdr.at(p + 1) + 24), kInstrumentGen, [&](int instrument) {
            if (instrument < int(instrumentSamples.size())) {
                const std::vector<int> &s = instrumentSamples[std::size_t(instrument)];
                preset.samples.insert(preset.samples.end(), s.begin(), s.end());
            }
        });
        std::sort(preset.samples.begin(), preset.samples.end());
        preset.samples.erase(std::unique(preset.samples.begin(), preset.samples.end()), preset.samples.end());
        preset.samples.shrink_to_fit();
        presets_.push_back(std::move(preset));
    }
    // The first of two presets with one number is the one found.
    std::stable_sort(presets_.begin(), presets_.end(),
                     [](const Preset &a, const Preset &b) { return a.bankProgram < b.bankProgram; });
    fileSize_ = file.size();
    head_ = {{0, smpl.data}, {pdta.data - 12, pdta.data}};
    path_ = path;
    return true;
}

void FontSamples::clear()
{
    path_.clear();
    fileSize_ = 0;
    head_.clear();
    presets_.clear();
    presets_.shrink_to_fit();
    samples_.clear();
    samples_.shrink_to_fit();
}

const FontSamples::Preset *FontSamples::find(int bank, int program) const
{
    const int key = bank << 8 | program;
    const auto it = std::lower_bound(presets_.begin(), presets_.end(), key,
                                     [](const Preset &p, int k) { return p.bankProgram < k; });
    return it != presets_.end() && it->bankProgram == key ? &*it : nullptr;
}

bool FontSamples::has(int bank, int program) const
{
    return find(bank, program) != nullptr;
}

std::vector<FontSamples::Range> FontSamples::rangesOf(int bank, int program) const
{
    const Preset *preset = find(bank, program);
    if (!preset)
        return {};
    std::vector<Range> ranges = head_;
    for (int i : preset->samples) {
        for (const Range &r : {samples_[std::size_t(i)].data, samples_[std::size_t(i)].low}) {
            if (r.end > r.first)
                ranges.push_back(r);
        }
    }
    for (Range &r : ranges) {
        r.first -= r.first % kPage;
        r.end = std::min(fileSize_, (r.end + kReadBuffer + kPage - 1) / kPage * kPage);
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range &a, const Range &b) { return a.first < b.first; });
    std::vector<Range> joined;
    for (const Range &r : ranges) {
        if (!joined.empty() && r.first <= joined.back().end + kJoinGap)
            joined.back().end = std::max(joined.back().end, r.end);
        else
            joined.push_back(r);
    }
    return joined;
}

qint64 FontSamples::readAhead(int bank, int program) const
{
    const std::vector<Range> ranges = rangesOf(bank, program);
    if (ranges.empty())
        return 0;
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    qint64 read = 0;
    for (const Range &r : ranges)
        read += FontFile::readAhead(fd, r.first, r.end - r.first);
    ::close(fd);
    return read;
}
