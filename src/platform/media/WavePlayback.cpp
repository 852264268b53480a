#include "platform/media/WavePlayback.h"

#include "platform/audio/AudioEngine.h"
#include "platform/media/SndfileIo.h"

#include <samplerate.h>
#include <sndfile.h>

#include <QFileInfo>

#include <chrono>
#include <vector>

namespace {

constexpr int kReadFrames = 1024;
constexpr auto kFullWait = std::chrono::milliseconds(5);

}  // namespace

WavePlayback::WavePlayback(AudioEngine &engine) : engine_(engine) {}

WavePlayback::~WavePlayback()
{
    stop();
    if (resampler_)
        src_delete(resampler_);
    if (sndfile_)
        sf_close(sndfile_);
}

bool WavePlayback::open(const QString &path, QString *error)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    file_.setFileName(path);
    if (!info.exists()) {
        *error = QStringLiteral("找不到文件“%1”").arg(name);
        return false;
    }
    // A pipe or a device would block the reading, a folder has no sound.
    if (!info.isFile()) {
        *error = QStringLiteral("“%1”不是声音文件").arg(name);
        return false;
    }
    if (!file_.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法打开文件“%1”：%2").arg(name, file_.errorString());
        return false;
    }
    if (!decode(error))
        return false;
    if (rate_ != engine_.sampleRate()) {
        // libsamplerate converts by up to 256 times either way.
        if (!src_is_valid_ratio(double(engine_.sampleRate()) / rate_)) {
            *error = QStringLiteral("“%1”的采样率 %2 Hz 无法播放").arg(name).arg(rate_);
            return false;
        }
        int err = 0;
        resampler_ = src_new(SRC_SINC_MEDIUM_QUALITY, 2, &err);
        if (!resampler_) {
            *error = QStringLiteral("无法转换“%1”的采样率：%2").arg(name, QString::fromLocal8Bit(src_strerror(err)));
            return false;
        }
    }
    return true;
}

bool WavePlayback::decode(QString *error)
{
    const QString name = QFileInfo(file_.fileName()).fileName();
    SF_INFO info = {};
    sndfile_ = sf_open_virtual(qtSndfileIo(), SFM_READ, &info, &file_);
    if (!sndfile_ || info.channels < 1 || info.samplerate < 1 || info.frames < 0) {
        *error = QStringLiteral("“%1”不是可以播放的声音文件").arg(name);
        return false;
    }
    channels_ = info.channels;
    rate_ = info.samplerate;
    frames_ = info.frames;
    return true;
}

// Some formats cannot seek at all (GSM 6.10 in WAV): their start is reached
// by decoding the file anew.
bool WavePlayback::seekFrame(qint64 frame)
{
    if (sf_seek(sndfile_, sf_count_t(frame), SEEK_SET) >= 0)
        return true;
    if (frame != 0)
        return false;
    sf_close(sndfile_);
    sndfile_ = nullptr;
    QString ignored;
    return file_.seek(0) && decode(&ignored);
}

bool WavePlayback::play(qint64 fromMs, QString *error)
{
    stop();
    if (!sndfile_) {
        *error = QStringLiteral("没有打开声音文件");
        return false;
    }
    const qint64 from = qBound<qint64>(0, fromMs * rate_ / 1000, frames_);
    if (!seekFrame(from)) {
        *error = QStringLiteral("这个声音文件只能从头播放");
        return false;
    }
    if (resampler_)
        src_reset(resampler_);
    stopRequested_.store(false);
    fed_.store(false);
    started_ = true;
    engine_.wake();
    feeder_ = std::thread([this] { feed(); });
    return true;
}

void WavePlayback::stop()
{
    if (feeder_.joinable()) {
        stopRequested_.store(true);
        feeder_.join();
    }
    if (started_)
        engine_.discardPlayback();
    started_ = false;
}

bool WavePlayback::isPlaying() const
{
    if (!started_)
        return false;
    return !fed_.load() || engine_.playbackTaken() < endMark_.load();
}

void WavePlayback::feed()
{
    const double ratio = double(engine_.sampleRate()) / double(rate_);
    std::vector<float> raw(std::size_t(kReadFrames) * std::size_t(channels_));
    std::vector<float> stereo(2 * kReadFrames);
    std::vector<float> out(std::size_t(2 * (kReadFrames * ratio + 64)));
    bool endOfFile = false;

    // Hands `frames` frames over, waiting while the playback input is full.
    auto give = [this](const float *data, int frames) {
        int done = 0;
        while (done < frames && !stopRequested_.load()) {
            done += engine_.pushPlayback(data + 2 * done, frames - done);
            if (done < frames)
                std::this_thread::sleep_for(kFullWait);
        }
    };

    while (!stopRequested_.load()) {
        int n = 0;
        if (!endOfFile) {
            const sf_count_t got = sf_readf_float(sndfile_, raw.data(), kReadFrames);
            n = got > 0 ? int(got) : 0;
            endOfFile = n < kReadFrames;  // the end, or a file that cannot be decoded further
            for (int i = 0; i < n; ++i) {
                const float *frame = raw.data() + std::size_t(i) * std::size_t(channels_);
                stereo[2 * i] = frame[0];
                stereo[2 * i + 1] = channels_ > 1 ? frame[1] : frame[0];
            }
        }
        if (!resampler_) {
            give(stereo.data(), n);
            if (endOfFile)
                break;
            continue;
        }
        // Feed the resampler until it has taken this block (and, at the
        // end, until it has given out everything it holds).
        SRC_DATA d = {};
        d.data_in = stereo.data();
        d.input_frames = n;
        d.data_out = out.data();
        d.output_frames = long(out.size() / 2);
        d.src_ratio = ratio;
        d.end_of_input = endOfFile ? 1 : 0;
        for (;;) {
            if (src_process(resampler_, &d) != 0) {
                endOfFile = true;
                break;
            }
            give(out.data(), int(d.output_frames_gen));
            d.data_in += 2 * d.input_frames_used;
            d.input_frames -= d.input_frames_used;
            const bool stuck = d.input_frames_used == 0 && d.output_frames_gen == 0;
            if (stopRequested_.load() || (d.input_frames > 0 && stuck))
                break;
            if (d.input_frames == 0 && (!endOfFile || d.output_frames_gen == 0))
                break;
        }
        if (endOfFile)
            break;
    }
    endMark_.store(engine_.playbackPushed());
    fed_.store(true);
}
