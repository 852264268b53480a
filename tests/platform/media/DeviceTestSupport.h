#pragma once

#include "platform/audio/AudioEngine.h"
#include "platform/media/WavWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QVector>

#include <sndfile.h>

#include <cmath>

// Helpers for the tests of the real media device.
namespace rec {

inline QString smallFont()
{
    const QString path = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");
    return QFileInfo::exists(path) ? path : QString();
}

struct Sound {
    bool ok = false;
    int rate = 0;
    int channels = 0;
    int format = 0;
    QVector<float> samples;  // interleaved
    qint64 frames() const { return channels ? samples.size() / channels : 0; }
    float at(qint64 frame, int channel) const { return samples[int(frame * channels + channel)]; }
};

inline Sound readSound(const QString &path)
{
    Sound s;
    SF_INFO info = {};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return s;
    s.rate = info.samplerate;
    s.channels = info.channels;
    s.format = info.format;
    s.samples.resize(int(info.frames * info.channels));
    s.ok = sf_readf_float(f, s.samples.data(), info.frames) == info.frames;
    sf_close(f);
    return s;
}

// A 16-bit file of `frames` frames whose sample i is f(i, channel).
template <typename F>
inline bool writeSound(const QString &path, int rate, int channels, int frames, F f)
{
    QVector<float> data(frames * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            data[i * channels + c] = f(i, c);
    WavWriter w;
    return w.open(path, rate, channels) && w.write(data.data(), frames) && w.close();
}

// Manual engine periods, collecting the tap.
struct TapRun {
    AudioEngine &engine;
    QVector<float> left, right;
    bool readsTap = true;  // false while the device records: the writer reads it

    void period(int frames = 128)
    {
        float l[128], r[128];
        engine.renderManual(l, r, frames, 0);
        if (!readsTap)
            return;
        QVector<float> tapped(2 * frames);
        const int got = engine.readTap(tapped.data(), frames);
        for (int i = 0; i < got; ++i) {
            left << tapped[2 * i];
            right << tapped[2 * i + 1];
        }
    }
    // The synthesizer's idle output is not quite zero (around 1e-8).
    static bool audible(float v) { return std::fabs(v) > 1e-5f; }
    int firstSound() const
    {
        for (int i = 0; i < left.size(); ++i)
            if (audible(left[i]) || audible(right[i]))
                return i;
        return -1;
    }
    int lastSound() const
    {
        for (int i = left.size() - 1; i >= 0; --i)
            if (audible(left[i]) || audible(right[i]))
                return i;
        return -1;
    }
};

// Normalised cross-correlation of a and b (b shifted by lag) over n samples.
inline double correlation(const QVector<float> &a, int aFrom, const QVector<float> &b, int bFrom, int n)
{
    double ab = 0, aa = 0, bb = 0;
    for (int i = 0; i < n; ++i) {
        if (aFrom + i >= a.size() || bFrom + i >= b.size() || aFrom + i < 0 || bFrom + i < 0)
            break;
        const double x = a[aFrom + i], y = b[bFrom + i];
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

}  // namespace rec
