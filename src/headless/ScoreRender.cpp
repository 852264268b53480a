#include "headless/ScoreRender.h"

#include "controllers/PerformanceControllers.h"
#include "core/MidiMessage.h"
#include "headless/HeadlessSession.h"

#include <memory>

namespace {

// Passes the program's messages on to the caller, except the score error
// once the player has stopped on it: that one is returned, not shown.
class ScoreNotices : public Notifier {
public:
    explicit ScoreNotices(Notifier &notices) : notices_(notices) {}
    const ScorePlayer *player = nullptr;

    void message(const QString &text, const QString &title) override
    {
        if (player && player->ending() == ScorePlayer::Ending::Error)
            return;
        notices_.message(text, title);
    }

private:
    Notifier &notices_;
};

}  // namespace

qint64 ScoreRender::Performance::lastMessageNs() const
{
    qint64 last = 0;
    for (const TimedMidiMessage &m : messages)
        last = qMax(last, m.ns);
    return last;
}

ScoreRender::Performance ScoreRender::play(const QString &score, const QString &recordFolder,
                                           Notifier &notices, qint64 limitNs)
{
    return play(score, recordFolder, notices, limitNs, Start());
}

ScoreRender::Performance ScoreRender::play(const QString &score, const QString &recordFolder,
                                           Notifier &notices, qint64 limitNs, const Start &start)
{
    // Nobody can be asked anything during a render; what is shown goes on.
    ScoreNotices shown(notices);
    auto session = std::make_unique<RenderSession>(recordFolder);
    session->dialogs.listener = &shown;
    VirtualClock &clock = session->clock;
    PerformanceControllers c(session->ctx, session->window);
    shown.player = &c.player;
    // Start-up runs at time 0 outside any tick: its messages are stamped 0.
    c.initialise();
    if (start.tempoPosition >= 0)
        c.voices.selectTempo(start.tempoPosition);
    if (start.keyPosition >= 0)
        c.voices.selectKey(start.keyPosition);

    // Start-up sets instruments and volumes, and applying the first rhythm
    // file lets one rhythm step be heard; that sound belongs to the program
    // starting, not to the score, and is left out.
    QVector<TimedMidiMessage> startUp;
    for (const TimedMidiMessage &m : session->midi.messages()) {
        if (m.message.kind() != Midi::NoteOn)
            startUp << m;
    }
    const int scoreStart = session->midi.messages().size();
    const int startEighthBeatMs = session->state.EighthBeatMs;

    session->state.ScoreText = score;
    session->window.setText3(score);
    ScorePlayer &player = c.player;
    // The player marks each token it reads in the score box.
    QVector<Step> steps;
    QObject::connect(&session->window, &WindowDisplay::text3SelectionRequested, [&](int position, int) {
        steps.append({clock.referenceNs(), position, session->state.EighthBeatMs});
    });
    player.startFromFile();

    // One tick at a time, so that the loop ends at the very tick that ends
    // or halts the playing. The rhythm is driven by the playback clock.
    // A duration of 0 is never completed: the player can no longer advance.
    // Unless a rhythm keeps the music going, the export stops after holding
    // the last note a little, instead of running to the time limit.
    bool limitReached = false;
    bool stalled = false;
    bool zeroDuration = false;
    qint64 stallNs = -1;
    while (player.ScorePlaying() && player.Timer3().isTicking()) {
        if (clock.runUntilIdle(limitNs, 1) == 0) {
            limitReached = true;
            break;
        }
        zeroDuration = player.ScorePlaying() && player.TickCount() > player.CurrentDuration();
        if (zeroDuration && !c.sequencer.BzQd() && !c.sequencer.Check5()) {
            if (stallNs < 0)
                stallNs = clock.nowNs();
            if (clock.nowNs() - stallNs >= kStallHoldNs) {
                stalled = true;
                break;
            }
        }
    }

    Performance p;
    if (player.ending() == ScorePlayer::Ending::Error) {
        p.ending = Ending::Error;
        p.errorPosition = player.errorPosition();
        p.errorToken = score.mid(p.errorPosition - 1, 2);
    } else if (player.ScorePlaying()) {
        p.ending = stalled ? Ending::Stalled : limitReached ? Ending::Limit : Ending::Halted;
        p.zeroDuration = zeroDuration;
        if (limitReached)
            clock.setNow(qMax(clock.nowNs(), limitNs));
        player.playClicked();  // the stop button: notes and rhythm stop
    }
    // A rhythm left running on its own timer after the end is cut here.
    c.stopTimers();
    p.endNs = clock.nowNs();
    p.messages = startUp + session->midi.messages().mid(scoreStart);
    p.startUpCount = int(startUp.size());
    p.steps = steps;
    p.startEighthBeatMs = startEighthBeatMs;
    return p;
}
