#pragma once

#include <QString>
#include <QVector>

// Measurements on rendered audio for the sound tests.
namespace AudioAnalysis {

float peak(const QVector<float> &samples, int from = 0, int to = -1);

// Fundamental frequency of a steady stretch, by autocorrelation.
double pitchHz(const QVector<float> &samples, int from, int length, int sampleRate);

// Frames where the signal first reaches `threshold` after at least `quietFrames`
// frames below it.
QVector<int> onsets(const QVector<float> &samples, float threshold, int quietFrames);

// Where the stretch [templateStart, templateStart + length) occurs again
// within guess +- range: the start with the best normalized correlation.
// Threshold onsets of one sound move by a cycle when it overlaps the tail of
// the one before; matching the whole waveform does not.
int matchPosition(const QVector<float> &samples, int templateStart, int length, int guess, int range);

// Onsets of clicks after a warm-up note has died away (the first 4000
// frames): the first by its level, the others where the first one's
// waveform recurs.
QVector<int> clickOnsets(const QVector<float> &samples);

// The tests' sound fonts; empty when the package is not installed.
QString smallFont();   // TimGM6mb: quick to load
QString largeFont();   // FluidR3_GM: the one the program prefers

}  // namespace AudioAnalysis
