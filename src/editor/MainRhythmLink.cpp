#include "editor/MainRhythmLink.h"

#include "editor/EditorControllers.h"
#include "rhythm/RhythmPattern.h"
#include "rhythm/RhythmSequencer.h"

void linkMainRhythm(EditorControllers &editor, RhythmPattern &pattern, RhythmSequencer &sequencer)
{
    editor.stopMainRhythm = [&sequencer] {
        sequencer.setBzQd(false);
        sequencer.BZDS().setEnabled(false);
    };
    editor.restoreMainRhythm = [&pattern] { pattern.writeStepTable(); };
}
