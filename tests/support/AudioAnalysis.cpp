#include "AudioAnalysis.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace AudioAnalysis {

float peak(const QVector<float> &samples, int from, int to)
{
    if (to < 0 || to > samples.size())
        to = samples.size();
    float p = 0;
    for (int i = qMax(0, from); i < to; ++i)
        p = qMax(p, std::fabs(samples[i]));
    return p;
}

double pitchHz(const QVector<float> &samples, int from, int length, int sampleRate)
{
    const int minLag = sampleRate / 2000;
    const int maxLag = sampleRate / 40;
    if (from < 0 || from + length + maxLag > samples.size())
        return 0;
    const float *x = samples.constData() + from;
    QVector<double> r(maxLag + 2, 0.0);
    double energy = 0;
    for (int i = 0; i < length; ++i)
        energy += double(x[i]) * x[i];
    if (energy <= 0)
        return 0;
    for (int lag = minLag; lag <= maxLag + 1; ++lag) {
        double s = 0;
        for (int i = 0; i < length; ++i)
            s += double(x[i]) * x[i + lag];
        r[lag] = s / energy;
    }
    double best = 0;
    for (int lag = minLag; lag <= maxLag; ++lag)
        best = qMax(best, r[lag]);
    // The first local maximum close to the best one: the fundamental, not a
    // multiple of its period.
    for (int lag = minLag + 1; lag <= maxLag; ++lag) {
        if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            const double a = r[lag - 1], b = r[lag], c = r[lag + 1];
            const double denom = a - 2 * b + c;
            const double shift = denom != 0 ? 0.5 * (a - c) / denom : 0;
            return sampleRate / (lag + shift);
        }
    }
    return 0;
}

QVector<int> onsets(const QVector<float> &samples, float threshold, int quietFrames)
{
    QVector<int> found;
    int lastLoud = -quietFrames - 1;
    for (int i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) >= threshold) {
            if (i - lastLoud > quietFrames)
                found << i;
            lastLoud = i;
        }
    }
    return found;
}

int matchPosition(const QVector<float> &samples, int templateStart, int length, int guess, int range)
{
    const float *t = samples.constData() + templateStart;
    double tt = 0;
    for (int i = 0; i < length; ++i)
        tt += double(t[i]) * t[i];
    int best = -1;
    double bestScore = -2;
    for (int p = qMax(0, guess - range); p <= guess + range && p + length <= samples.size(); ++p) {
        const float *x = samples.constData() + p;
        double xt = 0, xx = 0;
        for (int i = 0; i < length; ++i) {
            xt += double(x[i]) * t[i];
            xx += double(x[i]) * x[i];
        }
        const double score = xx > 0 && tt > 0 ? xt / std::sqrt(xx * tt) : -1;
        if (score > bestScore) {
            bestScore = score;
            best = p;
        }
    }
    return best;
}

QVector<int> clickOnsets(const QVector<float> &samples)
{
    const float threshold = 0.25f * peak(samples, 4000);
    QVector<int> found = onsets(samples, threshold, 2000);
    found.erase(std::remove_if(found.begin(), found.end(), [](int at) { return at < 4000; }), found.end());
    if (found.isEmpty())
        return found;
    const int start = found[0] - 64;  // the template starts ahead of the crossing
    for (int i = 1; i < found.size(); ++i)
        found[i] = matchPosition(samples, start, 960, found[i] - 64, 128) + 64;
    return found;
}


static QString fontIfPresent(const char *path)
{
    return QFileInfo(QString::fromLatin1(path)).isFile() ? QString::fromLatin1(path) : QString();
}

QString smallFont()
{
    return fontIfPresent("/usr/share/sounds/sf2/TimGM6mb.sf2");
}

QString largeFont()
{
    return fontIfPresent("/usr/share/sounds/sf2/FluidR3_GM.sf2");
}

}  // namespace AudioAnalysis
