#pragma once

#include <QString>

class EditorControllers;
class RhythmPattern;
class RhythmSequencer;
class ScorePlayer;
class WindowDisplay;

// The main window and the editor share StepIndex and the step table, so
// while the editor is open the main window plays nothing from it: opening
// the editor stops the main rhythm (and a score playing, whose clock drives
// the rhythm and whose JP commands start it). Leaving the editor writes the
// main pattern back into the step table, so the rhythm plays what its panel
// shows when it is started again, and the status line FJWZ says what was
// stopped. Nothing restarts by itself.
void linkMainRhythm(EditorControllers &editor, RhythmPattern &pattern, RhythmSequencer &sequencer,
                    ScorePlayer &player, WindowDisplay &display);

namespace MainRhythmLink {
// What FJWZ says on return; empty when nothing was stopped.
QString stoppedMessage(bool score, bool rhythm);
}
