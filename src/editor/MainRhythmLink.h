#pragma once

class EditorControllers;
class RhythmPattern;
class RhythmSequencer;

// The main window's rhythm and the editor share StepIndex and the step
// table: the rhythm stops before the editor plays, and when the editor is
// left the rhythm's pattern is written back, so it plays what its panel shows.
void linkMainRhythm(EditorControllers &editor, RhythmPattern &pattern, RhythmSequencer &sequencer);
