#include "app/ScoreRender.h"

#include "app/MainControllers.h"
#include "core/AppContext.h"
#include "core/Clock.h"
#include "core/SharedState.h"
#include "core/WindowState.h"
#include "platform/UserDialogs.h"
#include "sound/MidiPort.h"

#include <memory>

namespace {

// The dialogs of a render: the score error is noted instead of shown, other
// messages go on to the caller's dialogs, and no file dialog or input box is
// ever answered.
class RenderDialogs : public UserDialogs {
public:
    explicit RenderDialogs(UserDialogs &notices) : notices_(notices) {}

    bool scoreError = false;

    void message(const QString &text, const QString &title) override
    {
        if (text == ScorePlayer::errorMessage()) {
            scoreError = true;
            return;
        }
        notices_.message(text, title);
    }
    QString openFile(const QString &, const QString &) override { return QString(); }
    QString saveFile(const QString &, const QString &, bool) override { return QString(); }
    bool input(const QString &, const QString &, const QString &, QString *) override { return false; }
    bool openUrl(const QString &) override { return false; }

private:
    UserDialogs &notices_;
};

// Everything one render works with, on the heap (the step table is large).
struct Session {
    Session(const QString &recordFolder, UserDialogs &notices)
        : dialogs(notices), midi(clock), ctx{state, window, port, dialogs, clock, recordFolder}
    {
    }
    SharedState state;
    WindowState window;
    VirtualClock clock;
    RenderDialogs dialogs;
    RecordedMidi midi;
    MidiPort port{midi, dialogs, clock};
    AppContext ctx;
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
                                           UserDialogs &notices, qint64 limitNs)
{
    auto session = std::make_unique<Session>(recordFolder, notices);
    VirtualClock &clock = session->clock;
    MainControllers c(session->ctx);
    // Start-up runs at time 0 outside any tick: its messages are stamped 0.
    c.initialise();

    // Start-up sets instruments and volumes, and applying the first rhythm
    // file lets one rhythm step be heard; that sound belongs to the program
    // starting, not to the score, and is left out.
    QVector<TimedMidiMessage> startUp;
    for (const TimedMidiMessage &m : session->midi.messages()) {
        if ((m.message & 0xF0) != 0x90)
            startUp << m;
    }
    const int scoreStart = session->midi.messages().size();

    session->state.ScoreText = score;
    session->window.setText3(score);
    ScorePlayer &player = c.player;
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
    if (session->dialogs.scoreError) {
        p.ending = Ending::Error;
        // The player selects each token as it reads it: the selection starts
        // at the token's 1-based position.
        p.errorPosition = session->window.text3SelectionStart();
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
    return p;
}
