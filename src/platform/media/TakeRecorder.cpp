#include "platform/media/TakeRecorder.h"

#include "platform/audio/AudioEngine.h"
#include "platform/files/DurableSave.h"
#include "platform/media/SndfileIo.h"
#include "platform/media/TakeRepair.h"

#include <QFileInfo>
#include <QSaveFile>

#include <sndfile.h>

#include <cerrno>
#include <chrono>
#include <memory>

namespace {

constexpr int kWriteFrames = 4096;
// How long the writer sleeps when the tap is empty; the tap holds seconds.
constexpr auto kIdleWait = std::chrono::milliseconds(10);

QString nameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

}  // namespace

TakeRecorder::TakeRecorder(AudioEngine &engine) : engine_(engine) {}

TakeRecorder::~TakeRecorder()
{
    stop();
    close();
    if (!file_.fileName().isEmpty() && !leaveFile_)
        QFile::remove(file_.fileName());
}

void TakeRecorder::close()
{
    if (sndfile_) {
        sf_close(sndfile_);
        sndfile_ = nullptr;
    }
    file_.close();
}

bool TakeRecorder::create(const QString &tempPath, QString *error)
{
    file_.setFileName(tempPath);
    if (!file_.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered)) {
        *error = QStringLiteral("无法创建录音临时文件：%1").arg(file_.errorString());
        return false;
    }
    SF_INFO info = {};
    info.samplerate = engine_.sampleRate();
    info.channels = 2;
    info.format = SF_FORMAT_RF64 | SF_FORMAT_PCM_16;
    sndfile_ = sf_open_virtual(qtSndfileIo(), SFM_WRITE, &info, &file_);
    if (!sndfile_) {
        *error = QStringLiteral("无法写入录音临时文件：%1").arg(QString::fromLocal8Bit(sf_strerror(nullptr)));
        file_.close();
        file_.remove();
        return false;
    }
    // A plain WAV file while the take fits in one, RF64 beyond.
    sf_command(sndfile_, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    sf_command(sndfile_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool TakeRecorder::start(QString *error)
{
    if (writeFailed_.load()) {
        *error = writeError_;
        return false;
    }
    if (!sndfile_) {
        *error = QStringLiteral("没有可录音的临时文件");
        return false;
    }
    if (isRecording())
        return true;
    engine_.discardTap();  // no reader runs now
    lostAtStart_ = engine_.tapLostFrames();
    stopRequested_.store(false);
    engine_.setTapEnabled(true);
    writer_ = std::thread([this] { writeLoop(); });
    return true;
}

void TakeRecorder::stop()
{
    if (!writer_.joinable())
        return;
    engine_.setTapEnabled(false);
    engine_.waitForTapQuiet();
    stopRequested_.store(true);
    writer_.join();
    lost_ += engine_.tapLostFrames() - lostAtStart_;
    if (writeFailed_.load() && sndfile_) {
        // libsndfile is not asked to write again: the header gets the
        // length of what reached the disk, the last frame cut short dropped.
        sf_close(sndfile_);
        sndfile_ = nullptr;
        QString ignored;
        TakeRepair::fixHeader(file_, &ignored);
    }
}

void TakeRecorder::writeLoop()
{
    std::unique_ptr<float[]> buffer(new float[2 * kWriteFrames]);
    for (;;) {
        // Read the flag first: what was tapped before the stop is then
        // all in the ring when the ring is found empty.
        const bool stopping = stopRequested_.load();
        const int backlog = engine_.tapFramesAvailable();
        if (backlog > maxBacklog_.load(std::memory_order_relaxed))
            maxBacklog_.store(backlog, std::memory_order_relaxed);
        const int n = engine_.readTap(buffer.get(), kWriteFrames);
        if (n > 0) {
            if (!writeFailed_.load(std::memory_order_relaxed)) {
                errno = 0;
                if (sf_writef_float(sndfile_, buffer.get(), n) != n) {
                    // The take ends here: nothing more is tapped or written.
                    // A short write leaves its reason in errno only.
                    const int reason = errno;
                    writeError_ = QStringLiteral("录音写入磁盘失败（磁盘可能已满）：%1")
                                      .arg(reason != 0 ? qt_error_string(reason) : file_.errorString());
                    writeFailed_.store(true);
                    engine_.setTapEnabled(false);
                    return;
                } else {
                    written_.fetch_add(n);
                }
            }
            continue;
        }
        if (stopping)
            return;
        std::this_thread::sleep_for(kIdleWait);
    }
}

bool TakeRecorder::saveTo(const QString &target, QString *error)
{
    stop();
    const QString name = nameOf(target);
    if (!file_.isOpen()) {
        *error = QStringLiteral("没有可保存的录音");
        return false;
    }
    QString reason;
    if (QFileInfo(target).isDir()) {
        *error = QStringLiteral("“%1”是一个文件夹").arg(name);
        return false;
    }
    if (!DurableSave::checkTarget(target, &reason)) {
        *error = QStringLiteral("无法保存文件“%1”：%2").arg(name, reason);
        return false;
    }
    // The header with the present length (after a failed write it was
    // mended when the recording stopped).
    if (sndfile_) {
        sf_command(sndfile_, SFC_UPDATE_HEADER_NOW, nullptr, 0);
        sf_write_sync(sndfile_);
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("无法创建文件“%1”：%2").arg(name, out.errorString());
        return false;
    }
    if (!copyTo(out, error)) {
        out.cancelWriting();
        return false;
    }
    if (!DurableSave::flushToDisk(out, &reason)) {
        *error = QStringLiteral("写入文件“%1”出错（磁盘可能已满）：%2").arg(name, reason);
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        *error = QStringLiteral("无法保存文件“%1”：%2").arg(name, out.errorString());
        return false;
    }
    return true;
}

// Copies the temporary file through the handle the take already holds, so a
// take whose folder has gone meanwhile can still be saved elsewhere; the
// position libsndfile writes at is kept.
bool TakeRecorder::copyTo(QFileDevice &out, QString *error)
{
    const qint64 position = file_.pos();
    file_.unsetError();  // a failed write of the recording is no read error
    bool ok = file_.seek(0);
    while (ok) {
        const QByteArray chunk = file_.read(1 << 20);
        if (chunk.isEmpty())
            break;
        if (out.write(chunk) != chunk.size()) {
            *error = QStringLiteral("写入文件“%1”出错（磁盘可能已满）：%2").arg(nameOf(out.fileName()), out.errorString());
            file_.seek(position);
            return false;
        }
    }
    if (!ok || file_.error() != QFile::NoError) {
        *error = QStringLiteral("无法读取录音临时文件：%1").arg(file_.errorString());
        file_.seek(position);
        return false;
    }
    file_.seek(position);
    return true;
}
