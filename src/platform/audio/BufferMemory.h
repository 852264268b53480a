#pragma once

class QSettings;

// The device buffer this machine needed, carried from one run to the next:
// a run starts with the buffer the last one grew to, so that the player does
// not hear again the underruns that made it grow. A buffer that then plays
// clean for kCleanSecondsToTrySmaller lets the next run try the step below.
namespace BufferMemory {

constexpr double kCleanSecondsToTrySmaller = 600;

// The buffer to start with, 0 when nothing is remembered (or the value is
// not one of the steps).
int recall(QSettings &settings);
// The buffer grew during the run.
void grew(QSettings &settings, int frames);
// The run ends with `frames`, used for `cleanSeconds` without an underrun.
void atExit(QSettings &settings, int frames, double cleanSeconds);

}  // namespace BufferMemory
