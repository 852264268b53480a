#pragma once

#include <QtGlobal>

#include <vector>

struct z_stream_s;

// The image data of a PNG file (what its IDAT chunks hold), made line by
// line. Lines go through zlib's deflate (fastest level, runs only), each behind
// its filter byte (none). A line that repeats the one above never reaches
// zlib: pages of notation are mostly such lines (the white between rows,
// bar lines), and deflate would still read, copy and sum every byte of
// them. A run of them is stored as the "up" filter (all zeros) in a short
// block of our own between zlib's blocks, one copy of the line's codes per
// line. Only zlib's own state, one line and the bytes not yet taken are
// held, whatever the picture's height.
class PngRows {
public:
    // Lines of `stride` bytes (the filter byte not counted).
    explicit PngRows(int stride);
    ~PngRows();
    PngRows(const PngRows &) = delete;
    PngRows &operator=(const PngRows &) = delete;

    // False once zlib has failed (it cannot, short of memory); nothing is
    // added after that.
    bool addRow(const uchar *row);
    // The last line again, for a caller that knows (saves the comparison).
    bool repeatRow();
    // Ends the stream with its check sum. Adds nothing after this.
    bool finish();

    // The bytes made and not yet taken away; the caller clears them once written.
    const uchar *data() const { return out_.data(); }
    size_t size() const { return size_; }
    void clear() { size_ = 0; }

private:
    bool deflate(const uchar *bytes, size_t count, int flush);
    bool deflateLast();
    bool endRepeats();
    void reserve(size_t bytes);
    void putBits(quint32 bits, int count);

    const int stride_;
    z_stream_s *stream_ = nullptr;
    bool ok_ = false;
    bool zlibHasData_ = false;  // since it last started afresh
    std::vector<uchar> last_;   // the last line behind its filter byte
    bool hasLast_ = false;
    int repeats_ = 0;           // of the last line, not yet stored
    // The codes of one repeated line, pieces of up to 32 bits.
    std::vector<std::pair<quint32, int>> repeatCodes_;
    quint32 adlerA_ = 1;        // the stream's check sum (Adler-32)
    quint32 adlerB_ = 0;
    quint64 bitBuffer_ = 0;
    int bitCount_ = 0;
    std::vector<uchar> out_;    // its first size_ bytes are made
    size_t size_ = 0;
};
