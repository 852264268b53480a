#include "platform/audio/FontRiff.h"

#include <algorithm>

namespace {

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

}  // namespace

namespace FontRiff {

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

namespace {

// The list `type` ("sdta", "pdta") among the chunks of the RIFF form that
// ends at `end`.
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

// Where the RIFF form ends, from its header (at the file's start); -1 when
// the file is no sound font.
qint64 formEnd(QFile &file)
{
    char head[12];
    if (!file.seek(0) || file.read(head, 12) != 12 || qstrncmp(head, "RIFF", 4) != 0
        || qstrncmp(head + 8, "sfbk", 4) != 0)
        return -1;
    return std::min(file.size(), qint64(u32(head + 4)) + 8);
}

}  // namespace

bool findLists(QFile &file, Lists *lists)
{
    const qint64 end = formEnd(file);
    if (end < 0)
        return false;
    lists->sdta = findList(file, end, "sdta");
    lists->pdta = findList(file, end, "pdta");
    return lists->sdta.data >= 0 && lists->pdta.data >= 0;
}

}  // namespace FontRiff
