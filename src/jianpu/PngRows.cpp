#include "jianpu/PngRows.h"

#include <zlib.h>

namespace {

// zlib makes its output in pieces of at least this much room.
constexpr size_t kRoom = 1 << 16;

}  // namespace

PngRows::PngRows(int stride) : stride_(qMax(1, stride)), stream_(new z_stream{})
{
    // The fastest level: pictures are written while the user waits, and the
    // default level makes pages of notation only a third smaller in more
    // than twice the time. A small hash table (2K entries instead of 64K):
    // zlib shifts all of it every 32 KiB, a good part of the work on pages
    // that are mostly white.
    ok_ = deflateInit2(stream_, Z_BEST_SPEED, Z_DEFLATED, 15, 4, Z_DEFAULT_STRATEGY) == Z_OK;
}

PngRows::~PngRows()
{
    if (ok_)
        deflateEnd(stream_);
    delete stream_;
}

bool PngRows::deflate(const uchar *bytes, size_t count, int flush)
{
    if (!ok_)
        return false;
    stream_->next_in = const_cast<uchar *>(bytes);
    stream_->avail_in = uInt(count);
    for (;;) {
        if (out_.size() - size_ < kRoom)
            out_.resize(size_ + kRoom);
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
        // Done with the input once zlib leaves room unused.
        if (stream_->avail_in == 0 && stream_->avail_out > 0 && flush == Z_NO_FLUSH)
            return true;
    }
}

bool PngRows::addRow(const uchar *row)
{
    static const uchar noFilter = 0;
    return deflate(&noFilter, 1, Z_NO_FLUSH) && deflate(row, size_t(stride_), Z_NO_FLUSH);
}

bool PngRows::finish()
{
    return deflate(nullptr, 0, Z_FINISH);
}
