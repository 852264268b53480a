#include "editor/MainRhythmLink.h"

#include "core/WindowDisplay.h"
#include "editor/EditorControllers.h"
#include "rhythm/RhythmPattern.h"
#include "rhythm/RhythmSequencer.h"
#include "score/ScorePlayer.h"

#include <memory>

namespace {

// What the opening of the editor stopped, told when it is left.
struct Stopped {
    bool score = false;
    bool rhythm = false;
};

}  // namespace

QString MainRhythmLink::stoppedMessage(bool score, bool rhythm)
{
    if (score && rhythm)
        return QStringLiteral("自动演奏和节奏已停止。。。");
    if (score)
        return QStringLiteral("自动演奏已停止。。。");
    if (rhythm)
        return QStringLiteral("节奏已停止。。。");
    return QString();
}

void linkMainRhythm(EditorControllers &editor, RhythmPattern &pattern, RhythmSequencer &sequencer,
                    ScorePlayer &player, WindowDisplay &display)
{
    auto stopped = std::make_shared<Stopped>();
    editor.stopMainRhythm = [stopped, &sequencer, &player] {
        const bool rhythm = sequencer.BzQd() || sequencer.BZDS().isEnabled()
                            || (sequencer.Check5() && player.ScorePlaying());
        if (player.ScorePlaying()) {
            player.playClicked();  // as its stop button: notes, clock and rhythm stop
            stopped->score = true;
        }
        // A clock the keyboard took over would go on driving the rhythm.
        if (player.Timer3().isEnabled())
            player.stopClock();
        sequencer.setBzQd(false);
        sequencer.BZDS().setEnabled(false);
        stopped->rhythm = stopped->rhythm || rhythm;
    };
    editor.restoreMainRhythm = [stopped, &pattern, &display] {
        pattern.writeStepTable();
        const QString message = MainRhythmLink::stoppedMessage(stopped->score, stopped->rhythm);
        if (!message.isEmpty())
            display.setFJWZ(message);
        *stopped = Stopped();
    };
    editor.tellMainWindow = [&display](const QString &line) { display.setXSWB(line); };
}
