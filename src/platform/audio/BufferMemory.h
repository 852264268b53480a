#pragma once

class QSettings;

// The device buffer this machine needed, carried from one run to the next:
// a run starts with the buffer the last one ended with, so that the player
// does not hear again the underruns that made it grow; the run itself soon
// tries smaller ones (see UnderrunPolicy). A buffer that plays clean for
// kCleanSecondsToTrySmaller up to the end lets the next run start one step
// below.
namespace BufferMemory {

constexpr double kCleanSecondsToTrySmaller = 600;

// The buffer to start with, 0 when nothing is remembered (or the value is
// not one of the steps).
int recall(QSettings &settings);
// The buffer grew during the run.
void grew(QSettings &settings, int frames);
// The buffer came down during the run (the smallest: nothing to remember).
void shrank(QSettings &settings, int frames);
// The run ends with `frames`, used for `cleanSeconds` without an underrun.
void atExit(QSettings &settings, int frames, double cleanSeconds);

}  // namespace BufferMemory
