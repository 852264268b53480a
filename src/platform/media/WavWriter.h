#pragma once

#include <QSaveFile>
#include <QString>

#include <memory>

typedef struct sf_private_tag SNDFILE;

// Writes a WAV file through libsndfile. The file appears under its name only
// when close() succeeds; a failed or abandoned write leaves any earlier file
// of that name untouched.
class WavWriter {
public:
    enum class Format { Pcm16, Float };

    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter &) = delete;
    WavWriter &operator=(const WavWriter &) = delete;

    bool open(const QString &path, int sampleRate, int channels = 2, Format format = Format::Pcm16);
    bool isOpen() const { return sndfile_ != nullptr; }
    // Interleaved samples, full scale +-1.0 (clipped for 16-bit).
    bool write(const float *interleaved, qint64 frames);
    // Two channels from separate buffers.
    bool writeStereo(const float *left, const float *right, qint64 frames);
    // Finishes the header and puts the file in place.
    bool close();
    // Drops the file being written.
    void cancel();
    QString errorString() const { return error_; }

private:
    bool fail(const QString &what);

    std::unique_ptr<QSaveFile> file_;
    SNDFILE *sndfile_ = nullptr;
    int channels_ = 0;
    QString error_;
};
