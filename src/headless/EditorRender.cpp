#include "headless/EditorRender.h"

#include "core/Session.h"
#include "core/Clock.h"
#include "core/SharedState.h"
#include "editor/EditorControllers.h"
#include "editor/EditorModel.h"
#include "platform/media/MediaDevice.h"
#include "platform/dialogs/UserDialogs.h"
#include "midiport/MidiPort.h"

#include <QStringList>

#include <memory>

namespace {

// The editor's messages are kept for the caller, and passed on when asked.
class KeptMessages : public Notifier {
public:
    QStringList messages;
    Notifier *forward = nullptr;

    void message(const QString &text, const QString &title) override
    {
        messages << text;
        if (forward)
            forward->message(text, title);
    }
};

// Everything one run of the editor works with, on the heap (the tables are
// large). Nobody answers a dialog.
struct EditorRoom {
    EditorRoom() : dialogs(kept), midi(clock), session{state, port, media, dialogs, clock, QString()} {}
    SharedState state;
    VirtualClock clock;
    KeptMessages kept;
    UnattendedDialogs dialogs;
    RecordedMidi midi;
    MidiPort port{midi, kept, clock};
    SilentMediaDevice media;
    Session session;
    EditorModel model;
};

}  // namespace

bool EditorRender::importScore(const QString &scorePath, const QString &editPath, int timeOption,
                               QString *error, QString *notice)
{
    auto session = std::make_unique<EditorRoom>();
    EditorControllers editor(session->session, session->model);
    editor.open();
    if (timeOption != 0)
        editor.controls.selectTimeSignature(timeOption);
    const int shown = int(session->kept.messages.size());
    if (!editor.files.importScoreFile(scorePath)) {
        *error = session->kept.messages.value(int(session->kept.messages.size()) - 1);
        return false;
    }
    *notice = session->kept.messages.mid(shown).join(QLatin1Char('\n'));
    const int saved = int(session->kept.messages.size());
    if (!editor.files.BCBJWJ(editPath)) {
        *error = session->kept.messages.mid(saved).join(QLatin1Char('\n'));
        return false;
    }
    return true;
}

bool EditorRender::play(const QString &editPath, Notifier &notices, ScoreRender::Performance *p,
                        QString *error, qint64 limitNs)
{
    auto session = std::make_unique<EditorRoom>();
    VirtualClock &clock = session->clock;
    EditorControllers editor(session->session, session->model);
    editor.open();
    if (!editor.files.openEditFile(editPath)) {
        *error = session->kept.messages.value(int(session->kept.messages.size()) - 1);
        return false;
    }
    session->kept.forward = &notices;

    // Before playing, the editor has set the instruments of its melody
    // channels; the file starts with those program changes.
    QVector<TimedMidiMessage> opening;
    for (const TimedMidiMessage &m : session->midi.messages()) {
        const quint32 kind = m.message & 0xF0;
        if ((kind == 0xB0 || kind == 0xC0) && (m.message & 0x0F) <= 4)
            opening << TimedMidiMessage{0, m.message};
    }
    const int playStart = int(session->midi.messages().size());

    EditorPlayback &playback = editor.playback;
    playback.setST2(true);
    while (playback.SongPlaying() && playback.YYDS().isTicking()) {
        if (clock.runUntilIdle(limitNs, 1) == 0) {
            clock.setNow(qMax(clock.nowNs(), limitNs));
            playback.setST2(false);  // the stop: every note ends
            p->ending = ScoreRender::Ending::Limit;
            break;
        }
    }
    p->endNs = clock.nowNs();
    p->messages = opening + session->midi.messages().mid(playStart);
    return true;
}
