#include "jianpu/RowDeflater.h"

#include <array>
#include <cstring>

namespace {

constexpr quint64 kAdlerBase = 65521;
constexpr int kMaxMatch = 258;
constexpr int kMaxDistance = 32768;
constexpr int kEndOfBlock = 256;

quint32 reversed(quint32 code, int length)
{
    quint32 r = 0;
    for (int i = 0; i < length; ++i, code >>= 1)
        r = (r << 1) | (code & 1);
    return r;
}

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                               33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The last entry of a table of bases not above `value`.
template <size_t N>
int slotOf(const std::array<int, N> &bases, int value)
{
    int k = 0;
    while (k + 1 < int(N) && bases[size_t(k + 1)] <= value)
        ++k;
    return k;
}

// The slot of each length 0..258 (below 3 unused).
const std::array<quint8, kMaxMatch + 1> &lengthSlots()
{
    static const std::array<quint8, kMaxMatch + 1> table = [] {
        std::array<quint8, kMaxMatch + 1> t{};
        for (int length = 3; length <= kMaxMatch; ++length)
            t[size_t(length)] = quint8(slotOf(kLengthBase, length));
        return t;
    }();
    return table;
}

// Where the run of equal bytes that starts at `i` ends (exclusive), eight
// bytes at a time while it lasts.
int runEnd(const uchar *row, int i, int size)
{
    const uchar v = row[i];
    const quint64 pattern = v * 0x0101010101010101ull;
    int j = i + 1;
    for (quint64 word; j + 8 <= size; j += 8) {
        std::memcpy(&word, row + j, 8);
        if (word != pattern)
            break;
    }
    while (j < size && row[j] == v)
        ++j;
    return j;
}

}  // namespace

const RowDeflater::Code *RowDeflater::fixedCodes()
{
    static const std::array<Code, 288> codes = [] {
        std::array<Code, 288> c{};
        for (int s = 0; s < 288; ++s) {
            int code = 0;
            int length = 0;
            if (s < 144) {
                code = 0x30 + s;
                length = 8;
            } else if (s < 256) {
                code = 0x190 + s - 144;
                length = 9;
            } else if (s < 280) {
                code = s - 256;
                length = 7;
            } else {
                code = 0xc0 + s - 280;
                length = 8;
            }
            c[size_t(s)] = Code{reversed(quint32(code), length), length};
        }
        return c;
    }();
    return codes.data();
}

RowDeflater::RowDeflater(int stride)
    : stride_(qMax(1, stride)), previous_(size_t(stride_)), codes_(fixedCodes()),
      lengthSlots_(lengthSlots().data())
{
    out_.resize(1 << 17);
    append(0x78);  // zlib: deflate, 32 KiB window, no dictionary
    append(0x01);
    put(1, 1);  // the last (and only) block,
    put(1, 2);  // in the fixed codes
}

void RowDeflater::flushWord()
{
    if (out_.size() < size_ + 4)
        out_.resize(out_.size() * 2 + 4);
    for (int i = 0; i < 4; ++i)
        out_[size_++] = uchar(bitBuffer_ >> (8 * i));
    bitBuffer_ >>= 32;
    bitCount_ -= 32;
}

void RowDeflater::append(uchar byte)
{
    if (out_.size() < size_ + 1)
        out_.resize(out_.size() * 2 + 4);
    out_[size_++] = byte;
}

void RowDeflater::literal(uchar byte)
{
    const Code &c = codes_[byte];
    put(c.bits, c.length);
}

void RowDeflater::match(int length, int distance)
{
    const int l = lengthSlots_[length];
    const Code &c = codes_[257 + l];
    put(c.bits, c.length);
    put(quint32(length - kLengthBase[size_t(l)]), kLengthExtra[size_t(l)]);
    // Nearly every reference goes one byte or one line back.
    if (distance != lastDistance_) {
        lastDistance_ = distance;
        lastDistanceSlot_ = slotOf(kDistanceBase, distance);
        lastDistanceCode_ = reversed(quint32(lastDistanceSlot_), 5);
    }
    put(lastDistanceCode_, 5);
    put(quint32(distance - kDistanceBase[size_t(lastDistanceSlot_)]), kDistanceExtra[size_t(lastDistanceSlot_)]);
}

void RowDeflater::repeat(int length, int distance, const uchar *bytes)
{
    while (length > 0) {
        if (length < 3) {
            literal(*bytes++);
            --length;
            continue;
        }
        int n = qMin(length, kMaxMatch);
        if (length - n > 0 && length - n < 3)
            n = length - 3;  // leave a piece that can still be a reference
        match(n, distance);
        bytes += n;
        length -= n;
    }
}

void RowDeflater::addRow(const uchar *row)
{
    if (hasPrevious_ && stride_ <= kMaxDistance && std::memcmp(row, previous_.data(), size_t(stride_)) == 0) {
        repeat(stride_, stride_, row);
    } else {
        // Run by run: a byte, then references to it. The line's sums for
        // the check sum go by runs too: a run of L bytes v adds v·L to the
        // sum and L·sum + v·L(L+1)/2 to the weighted sum.
        quint64 sum = 0;
        quint64 weighted = 0;
        for (int i = 0; i < stride_;) {
            const uchar v = row[i];
            const int end = runEnd(row, i, stride_);
            const quint64 length = quint64(end - i);
            weighted += length * sum + v * length * (length + 1) / 2;
            sum += v * length;
            literal(v);
            repeat(end - i - 1, 1, row + i + 1);
            i = end;
        }
        rowSum_ = sum;
        rowWeightedSum_ = weighted;
        std::memcpy(previous_.data(), row, size_t(stride_));
        hasPrevious_ = true;
    }
    // Adler-32 over the line: b gains the line's length times a, plus each
    // byte weighted by how many sums it enters.
    adlerB_ = (adlerB_ + quint64(stride_) * adlerA_ + rowWeightedSum_) % kAdlerBase;
    adlerA_ = (adlerA_ + rowSum_) % kAdlerBase;
}

void RowDeflater::finish()
{
    const Code &end = codes_[kEndOfBlock];
    put(end.bits, end.length);
    for (; bitCount_ > 0; bitCount_ -= 8, bitBuffer_ >>= 8)
        append(uchar(bitBuffer_));  // the last bits, up to a whole byte
    bitCount_ = 0;
    const quint32 adler = quint32((adlerB_ << 16) | adlerA_);
    for (int shift = 24; shift >= 0; shift -= 8)
        append(uchar(adler >> shift));
}

