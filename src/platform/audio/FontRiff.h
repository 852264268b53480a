#pragma once

#include <QFile>
#include <QtGlobal>

// The RIFF layout of a sound font file: little-endian numbers and the
// chunks and lists that hold the font's tables and sample data.
namespace FontRiff {

// One sample's header in the font's sample table ("shdr"): its data from
// kSampleStart to kSampleEnd (in sample points, or bytes when compressed).
constexpr int kSampleHeaderBytes = 46;
constexpr int kSampleStart = 20;
constexpr int kSampleEnd = 24;
constexpr int kSampleType = 44;
// Sample types: compressed (SF3, offsets in bytes) and in ROM (no data in the file).
constexpr quint16 kCompressed = 0x10;
constexpr quint16 kInRom = 0x8000;

quint32 u32(const char *p);
quint16 u16(const char *p);

// A chunk of the file: where its data begin and how long they are.
struct Chunk {
    qint64 data = -1;
    qint64 size = 0;
};

// The sub-chunk `id` of the list that spans [from, end).
Chunk findChunk(QFile &file, qint64 from, qint64 end, const char *id);
// The font's two lists: its sample data and its tables.
struct Lists {
    Chunk sdta;
    Chunk pdta;
};
// False when the file is no sound font or lacks either list.
bool findLists(QFile &file, Lists *lists);

}  // namespace FontRiff
