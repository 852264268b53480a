#pragma once

#include <QtGlobal>

#include <vector>

struct z_stream_s;

// The image data of a PNG file (what its IDAT chunks hold), made line by
// line: each line behind its filter byte (none), through zlib's deflate at
// its fastest level, which still finds the lines that repeat the one above
// and the runs of one colour that pages of notation are made of. Only zlib's
// own state and the bytes not yet taken are held, whatever the picture's
// height.
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
    // Ends the stream with its check sum. Adds nothing after this.
    bool finish();

    // The bytes made and not yet taken away; the caller clears them once written.
    const uchar *data() const { return out_.data(); }
    size_t size() const { return size_; }
    void clear() { size_ = 0; }

private:
    bool deflate(const uchar *bytes, size_t count, int flush);

    const int stride_;
    z_stream_s *stream_ = nullptr;
    bool ok_ = false;
    std::vector<uchar> out_;  // its first size_ bytes are made
    size_t size_ = 0;
};
