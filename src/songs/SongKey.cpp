#include "songs/SongKey.h"

#include <array>

namespace SongKey {

namespace {

constexpr int kLowestKeyBase = 36;

int pitchClass(int n)
{
    return ((n % 12) + 12) % 12;
}

}  // namespace

bool isDegree(int offset)
{
    static const std::array<bool, 12> degree{true, false, true, false, true, true,
                                             false, true, false, true, false, true};
    return degree[size_t(pitchClass(offset))];
}

int keyOfSignature(int sharps)
{
    return pitchClass(sharps * 7);
}

int signatureOfKey(int key)
{
    static const std::array<int, 12> sharps{0, -5, 2, -3, 4, -1, 6, 1, -4, 3, -2, 5};
    return sharps[size_t(pitchClass(key))];
}

int choose(const QVector<int> &pitches, int signatureKey)
{
    std::array<int, 12> onScale{};
    std::array<int, 12> tonic{};
    for (int p : pitches) {
        for (int key = 0; key < 12; ++key) {
            if (isDegree(p - key))
                ++onScale[size_t(key)];
        }
        ++tonic[size_t(pitchClass(p))];
    }
    int most = 0;
    for (int n : onScale)
        most = qMax(most, n);
    const auto best = [&](int key) { return key >= 0 && key < 12 && onScale[size_t(key)] == most; };
    if (best(signatureKey))
        return signatureKey;
    if (!pitches.isEmpty() && best(pitchClass(pitches.last())))
        return pitchClass(pitches.last());
    int chosen = -1;
    for (int key = 0; key < 12; ++key) {
        if (best(key) && (chosen < 0 || tonic[size_t(key)] > tonic[size_t(chosen)]))
            chosen = key;
    }
    return qMax(0, chosen);
}

Degrees degrees(const QVector<int> &pitches, int key)
{
    Degrees out;
    const int keyBase = kLowestKeyBase + key;
    int lastPitch = -1;
    int lastOffset = 0;
    for (int pitch : pitches) {
        int o = pitch - keyBase;
        if (!isDegree(o)) {
            ++out.movedToScale;
            // Both neighbours are degrees: keep the direction from the note before.
            if (lastPitch < 0)
                o -= 1;
            else if (pitch == lastPitch)
                o = lastOffset;
            else if (pitch > lastPitch)
                o = o - 1 > lastOffset ? o - 1 : o + 1;
            else
                o = o + 1 < lastOffset ? o + 1 : o - 1;
        }
        lastPitch = pitch;
        lastOffset = o;
        int folded = o;
        while (folded < 0)
            folded += 12;
        while (folded > kHighestOffset)
            folded -= 12;
        if (folded != o)
            ++out.foldedIn;
        out.offsets << folded;
    }
    return out;
}

}  // namespace SongKey
