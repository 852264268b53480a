#include "platform/media/WavWriter.h"

#include "platform/files/DurableSave.h"

#include <sndfile.h>

#include <cerrno>
#include <cstring>

#include <QFileInfo>

namespace {

// libsndfile reads and writes through the QSaveFile.
sf_count_t ioLength(void *user)
{
    return sf_count_t(static_cast<QSaveFile *>(user)->size());
}

sf_count_t ioSeek(sf_count_t offset, int whence, void *user)
{
    auto *f = static_cast<QSaveFile *>(user);
    qint64 target = offset;
    if (whence == SEEK_CUR)
        target += f->pos();
    else if (whence == SEEK_END)
        target += f->size();
    if (target < 0 || !f->seek(target))
        return -1;
    return sf_count_t(f->pos());
}

sf_count_t ioRead(void *ptr, sf_count_t count, void *user)
{
    const qint64 n = static_cast<QSaveFile *>(user)->read(static_cast<char *>(ptr), qint64(count));
    return n < 0 ? 0 : sf_count_t(n);
}

sf_count_t ioWrite(const void *ptr, sf_count_t count, void *user)
{
    const qint64 n = static_cast<QSaveFile *>(user)->write(static_cast<const char *>(ptr), qint64(count));
    return n < 0 ? 0 : sf_count_t(n);
}

sf_count_t ioTell(void *user)
{
    return sf_count_t(static_cast<QSaveFile *>(user)->pos());
}

}  // namespace

WavWriter::~WavWriter()
{
    cancel();
}

bool WavWriter::fail(const QString &what)
{
    error_ = what;
    cancel();
    return false;
}

bool WavWriter::open(const QString &path, int sampleRate, int channels, Format format)
{
    cancel();
    error_.clear();
    QString reason;
    if (!DurableSave::checkTarget(path, &reason))
        return fail(QStringLiteral("无法创建文件 %1：%2").arg(QFileInfo(path).fileName(), reason));
    file_ = std::make_unique<QSaveFile>(path);
    // Unbuffered: a full disk shows at the write that met it, with its reason.
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("无法创建文件 %1：%2").arg(QFileInfo(path).fileName(), file_->errorString()));
    SF_INFO info = {};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | (format == Format::Float ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    static SF_VIRTUAL_IO io = {ioLength, ioSeek, ioRead, ioWrite, ioTell};
    sndfile_ = sf_open_virtual(&io, SFM_WRITE, &info, file_.get());
    if (!sndfile_)
        return fail(QStringLiteral("无法写入 WAV 文件 %1：%2").arg(QFileInfo(path).fileName(),
                                                                 QString::fromLocal8Bit(sf_strerror(nullptr))));
    sf_command(sndfile_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    channels_ = channels;
    return true;
}

bool WavWriter::write(const float *interleaved, qint64 frames)
{
    if (!sndfile_)
        return false;
    if (frames <= 0)
        return true;
    errno = 0;
    if (sf_writef_float(sndfile_, interleaved, sf_count_t(frames)) != sf_count_t(frames)) {
        // A short write (a full disk) leaves its reason in errno only.
        const int error = errno;
        const QString reason = error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : file_->errorString();
        return fail(QStringLiteral("写入 WAV 文件出错（磁盘可能已满）：%1").arg(reason));
    }
    return true;
}

bool WavWriter::writeStereo(const float *left, const float *right, qint64 frames)
{
    float chunk[2 * 1024];
    for (qint64 done = 0; done < frames;) {
        const qint64 n = qMin<qint64>(1024, frames - done);
        for (qint64 i = 0; i < n; ++i) {
            chunk[2 * i] = left[done + i];
            chunk[2 * i + 1] = right[done + i];
        }
        if (!write(chunk, n))
            return false;
        done += n;
    }
    return true;
}

bool WavWriter::close()
{
    if (!sndfile_)
        return false;
    const int result = sf_close(sndfile_);
    sndfile_ = nullptr;
    if (result != 0)
        return fail(QStringLiteral("写入 WAV 文件出错：%1").arg(QString::fromLocal8Bit(sf_error_number(result))));
    QString reason;
    if (!DurableSave::flushToDisk(*file_, &reason)) {
        error_ = QStringLiteral("无法保存 WAV 文件：%1").arg(reason);
        cancel();
        return false;
    }
    if (!file_->commit()) {
        error_ = QStringLiteral("无法保存 WAV 文件：%1").arg(file_->errorString());
        file_.reset();
        return false;
    }
    file_.reset();
    return true;
}

void WavWriter::cancel()
{
    if (sndfile_) {
        sf_close(sndfile_);
        sndfile_ = nullptr;
    }
    if (file_) {
        file_->cancelWriting();
        file_.reset();
    }
}
