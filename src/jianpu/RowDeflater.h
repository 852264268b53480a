#pragma once

#include <QtGlobal>

#include <vector>

// Compresses a picture line by line into a zlib stream (the image data of a
// PNG file), made for pictures like pages of notation: mostly white, lines
// that repeat the line above, runs of one colour. A line equal to the one
// above becomes a few references to it, a run of one byte a byte and a
// reference, anything else goes as it is. Deflate's fixed codes in a single
// block: nothing to plan ahead, each line's bytes are out when it is added,
// and a repeated line costs a comparison, not a search.
class RowDeflater {
public:
    // Lines of `stride` bytes.
    explicit RowDeflater(int stride);

    void addRow(const uchar *row);
    // Ends the stream with its check sum. Adds nothing after this.
    void finish();

    // The bytes made and not yet taken away; the caller clears them once written.
    const uchar *data() const { return out_.data(); }
    size_t size() const { return size_; }
    void clear() { size_ = 0; }

private:
    struct Code {
        quint32 bits = 0;  // reversed: deflate sends a code's highest bit first
        int length = 0;
    };
    // Deflate's fixed codes of the 288 literal/length symbols.
    static const Code *fixedCodes();

    void put(quint32 bits, int count)
    {
        bitBuffer_ |= quint64(bits) << bitCount_;
        bitCount_ += count;
        if (bitCount_ >= 32)
            flushWord();
    }
    void flushWord();
    void append(uchar byte);
    void literal(uchar byte);
    // A back-reference of 3..258 bytes at a distance of 1..32768.
    void match(int length, int distance);
    // `length` bytes that repeat those `distance` bytes before them.
    void repeat(int length, int distance, const uchar *bytes);

    const int stride_;
    std::vector<uchar> previous_;
    bool hasPrevious_ = false;
    // The check sum (Adler-32) and the line's own sums, kept for a line
    // that repeats: its share then costs no pass over it.
    quint64 adlerA_ = 1;
    quint64 adlerB_ = 0;
    quint64 rowSum_ = 0;
    quint64 rowWeightedSum_ = 0;
    quint64 bitBuffer_ = 0;
    int bitCount_ = 0;
    std::vector<uchar> out_;  // its first size_ bytes are made
    size_t size_ = 0;
    const Code *codes_;  // looked up once
    const quint8 *lengthSlots_;
    int lastDistance_ = 0;
    int lastDistanceSlot_ = 0;
    quint32 lastDistanceCode_ = 0;
};
