#include "jianpu/PngRows.h"

#include <zlib.h>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// zlib makes its output in pieces of at least this much room.
constexpr size_t kRoom = 1 << 16;
// Fewer repeated lines than this go through zlib like any other: a block of
// our own costs the end of zlib's block and the code tables of its next one.
constexpr int kShortestRun = 3;
constexpr quint32 kAdlerBase = 65521;
constexpr int kUpFilter = 2;

// Deflate's fixed code of a literal/length symbol, lowest bit first as sent.
std::pair<quint32, int> fixedCode(int symbol)
{
    quint32 code = 0;
    int length = 0;
    if (symbol < 144) {
        code = quint32(0x30 + symbol);
        length = 8;
    } else if (symbol < 256) {
        code = quint32(0x190 + symbol - 144);
        length = 9;
    } else if (symbol < 280) {
        code = quint32(symbol - 256);
        length = 7;
    } else {
        code = quint32(0xc0 + symbol - 280);
        length = 8;
    }
    quint32 reversed = 0;
    for (int i = 0; i < length; ++i, code >>= 1)
        reversed = (reversed << 1) | (code & 1);
    return {reversed, length};
}

// Collects codes into pieces of 32 bits.
class CodeRun {
public:
    explicit CodeRun(std::vector<std::pair<quint32, int>> &pieces) : pieces_(pieces) {}
    void add(quint32 bits, int count)
    {
        buffer_ |= quint64(bits) << count_;
        count_ += count;
        if (count_ >= 32) {
            pieces_.emplace_back(quint32(buffer_), 32);
            buffer_ >>= 32;
            count_ -= 32;
        }
    }
    void add(const std::pair<quint32, int> &code) { add(code.first, code.second); }
    void end()
    {
        if (count_ > 0)
            pieces_.emplace_back(quint32(buffer_), count_);
    }

private:
    std::vector<std::pair<quint32, int>> &pieces_;
    quint64 buffer_ = 0;
    int count_ = 0;
};

// The codes of a line under the up filter when it repeats the line above:
// the filter byte, a zero, then the other zeros as copies of the byte
// before (distance 1, no extra bits).
std::vector<std::pair<quint32, int>> repeatCodes(int stride)
{
    static constexpr int lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr int lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    std::vector<std::pair<quint32, int>> pieces;
    CodeRun codes(pieces);
    codes.add(fixedCode(kUpFilter));
    codes.add(fixedCode(0));
    for (int zeros = stride - 1; zeros > 0;) {
        if (zeros < 3) {
            codes.add(fixedCode(0));
            --zeros;
            continue;
        }
        int length = qMin(zeros, 258);
        if (zeros - length > 0 && zeros - length < 3)
            length = zeros - 3;  // leave enough for one more copy
        int slot = 0;
        while (slot + 1 < 29 && lengthBase[slot + 1] <= length)
            ++slot;
        codes.add(fixedCode(257 + slot));
        codes.add(quint32(length - lengthBase[slot]), lengthExtra[slot]);
        codes.add(0, 5);  // distance code 0: one byte back
        zeros -= length;
    }
    codes.end();
    return pieces;
}

// Adler-32 of `bytes` after `adler`, as zlib's adler32() gives it, 16 bytes
// a step where the processor can: zlib's own goes a byte at a time, and
// the check sum was a good part of the time of a page.
quint32 adler32Of(quint32 adler, const uchar *bytes, size_t count)
{
#if defined(__SSE2__)
    quint64 a = adler & 0xffff;
    quint64 b = adler >> 16;
    const __m128i zero = _mm_setzero_si128();
    const __m128i firstWeights = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i lastWeights = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    while (count >= 16) {
        // Few enough blocks that no lane overflows before the sums are reduced.
        const size_t blocks = qMin(count / 16, size_t(340));
        __m128i sums = zero;       // of the bytes
        __m128i sumsBefore = zero;  // of `sums` before each block
        __m128i weighted = zero;   // of each byte times 16..1 by its place in its block
        for (size_t i = 0; i < blocks; ++i, bytes += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes));
            sumsBefore = _mm_add_epi64(sumsBefore, sums);
            sums = _mm_add_epi64(sums, _mm_sad_epu8(v, zero));
            weighted = _mm_add_epi32(weighted, _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(v, zero), firstWeights),
                                                             _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), lastWeights)));
        }
        count -= blocks * 16;
        quint64 lanes[2];
        quint32 words[4];
        _mm_storeu_si128(reinterpret_cast<__m128i *>(lanes), sums);
        const quint64 sum = lanes[0] + lanes[1];
        _mm_storeu_si128(reinterpret_cast<__m128i *>(lanes), sumsBefore);
        const quint64 before = lanes[0] + lanes[1];
        _mm_storeu_si128(reinterpret_cast<__m128i *>(words), weighted);
        const quint64 weights = quint64(words[0]) + words[1] + words[2] + words[3];
        b = (b + 16 * (blocks * a + before) + weights) % kAdlerBase;
        a = (a + sum) % kAdlerBase;
    }
    adler = quint32(b << 16 | a);
#endif
    return count > 0 ? quint32(adler32(adler, bytes, uInt(count))) : adler;
}

}  // namespace

PngRows::PngRows(int stride)
    : stride_(qMax(1, stride)), stream_(new z_stream{}), last_(size_t(stride_) + 1), repeatCodes_(repeatCodes(stride_))
{
    // The fastest level with run-length matching only: pictures are written
    // while the user waits. Pages of notation are mostly runs of one colour;
    // searching for longer matches makes music pages a fifth smaller but
    // costs a tenth more time (and the default level twice the time). A raw
    // stream (the zlib header and check sum are ours) so that blocks of our
    // own can go between zlib's.
    ok_ = deflateInit2(stream_, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_RLE) == Z_OK;
    out_.resize(kRoom);
    out_[0] = 0x78;  // deflate, 32 KiB window
    out_[1] = 0x01;  // fastest; makes the pair a multiple of 31
    size_ = 2;
}

PngRows::~PngRows()
{
    if (ok_)
        deflateEnd(stream_);
    delete stream_;
}

void PngRows::reserve(size_t bytes)
{
    if (out_.size() - size_ < bytes)
        out_.resize(size_ + bytes);
}

bool PngRows::deflate(const uchar *bytes, size_t count, int flush)
{
    if (!ok_)
        return false;
    stream_->next_in = const_cast<uchar *>(bytes);
    stream_->avail_in = uInt(count);
    for (;;) {
        reserve(kRoom);
        stream_->next_out = out_.data() + size_;
        stream_->avail_out = uInt(out_.size() - size_);
        const int result = ::deflate(stream_, flush);
        size_ = out_.size() - stream_->avail_out;
        if (result == Z_STREAM_END)
            return true;
        if (result != Z_OK && result != Z_BUF_ERROR) {
            deflateEnd(stream_);
            return ok_ = false;
        }
        // Done with the input (and a flush done) once zlib leaves room unused.
        if (flush != Z_FINISH && stream_->avail_in == 0 && stream_->avail_out > 0)
            return true;
    }
}

bool PngRows::deflateLast()
{
    zlibHasData_ = true;
    const quint32 adler = adler32Of(adlerB_ << 16 | adlerA_, last_.data(), last_.size());
    adlerA_ = quint32(adler & 0xffff);
    adlerB_ = quint32(adler >> 16);
    return deflate(last_.data(), last_.size(), Z_NO_FLUSH);
}

void PngRows::putBits(quint32 bits, int count)
{
    bitBuffer_ |= quint64(bits) << bitCount_;
    bitCount_ += count;
    if (bitCount_ >= 32) {
        uchar *at = out_.data() + size_;
        for (int i = 0; i < 4; ++i)
            at[i] = uchar(bitBuffer_ >> (8 * i));
        size_ += 4;
        bitBuffer_ >>= 32;
        bitCount_ -= 32;
    }
}

bool PngRows::endRepeats()
{
    const int lines = repeats_;
    repeats_ = 0;
    if (lines < kShortestRun) {
        for (int i = 0; i < lines; ++i) {
            if (!deflateLast())
                return false;
        }
        return ok_;
    }
    // zlib ends its block and pads to a whole byte; ours follows.
    if (zlibHasData_ && !deflate(nullptr, 0, Z_SYNC_FLUSH))
        return false;
    size_t bits = 3 + 7;
    for (const auto &piece : repeatCodes_)
        bits += size_t(piece.second) * size_t(lines);
    reserve(bits / 8 + 8);
    bitBuffer_ = 0;
    bitCount_ = 0;
    putBits(2, 3);  // a block, not the last, of fixed codes
    for (int i = 0; i < lines; ++i) {
        for (const auto &[code, count] : repeatCodes_)
            putBits(code, count);
    }
    putBits(0, 7);  // its end
    for (; bitCount_ >= 8; bitCount_ -= 8, bitBuffer_ >>= 8)
        out_[size_++] = uchar(bitBuffer_);
    // zlib starts afresh behind it, taking the bits of its last byte. Its
    // window is then empty: nothing refers back across our block.
    if (deflateReset(stream_) != Z_OK ||
        (bitCount_ > 0 && deflatePrime(stream_, bitCount_, int(bitBuffer_)) != Z_OK)) {
        deflateEnd(stream_);
        return ok_ = false;
    }
    zlibHasData_ = bitCount_ > 0;
    // The check sum over the lines: each is the filter byte 2 and zeros, so
    // a grows by 2 a line and b by the line's length times each new a.
    const quint64 n = quint64(lines) % kAdlerBase;
    const quint64 length = quint64(last_.size()) % kAdlerBase;
    const quint64 sumOfA = (n * adlerA_ + n * ((quint64(lines) + 1) % kAdlerBase)) % kAdlerBase;
    adlerB_ = quint32((adlerB_ + length * sumOfA) % kAdlerBase);
    adlerA_ = quint32((adlerA_ + 2 * n) % kAdlerBase);
    return true;
}

bool PngRows::addRow(const uchar *row)
{
    if (hasLast_ && std::memcmp(row, last_.data() + 1, size_t(stride_)) == 0)
        return repeatRow();
    if (!ok_ || !endRepeats())
        return false;
    last_[0] = 0;  // no filter
    std::memcpy(last_.data() + 1, row, size_t(stride_));
    hasLast_ = true;
    return deflateLast();
}

bool PngRows::repeatRow()
{
    Q_ASSERT(hasLast_);
    if (!ok_ || !hasLast_)
        return false;
    ++repeats_;
    return true;
}

bool PngRows::finish()
{
    if (!ok_ || !endRepeats() || !deflate(nullptr, 0, Z_FINISH))
        return false;
    reserve(4);
    const quint32 adler = adlerB_ << 16 | adlerA_;
    for (int shift = 24; shift >= 0; shift -= 8)
        out_[size_++] = uchar(adler >> shift);
    deflateEnd(stream_);
    ok_ = false;  // nothing more goes in
    return true;
}
