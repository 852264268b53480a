#include "headless/EditorRender.h"

#include "core/MidiMessage.h"
#include "editor/EditorControllers.h"
#include "editor/model/EditorModel.h"
#include "headless/HeadlessSession.h"

#include <QStringList>

#include <memory>

bool EditorRender::importScore(const QString &scorePath, const QString &editPath, int timeOption,
                               QString *error, QString *notice)
{
    // Nobody answers a dialog; the editor's messages are kept for the caller.
    auto session = std::make_unique<RenderSession>();
    auto model = std::make_unique<EditorModel>();
    EditorControllers editor(session->ctx, *model);
    editor.open();
    if (timeOption != 0)
        editor.controls.selectTimeSignature(timeOption);
    const QStringList &messages = session->dialogs.messages;
    const int opened = int(messages.size());
    if (!editor.files.importScoreFile(scorePath)) {
        *error = messages.value(int(messages.size()) - 1);
        return false;
    }
    *notice = messages.mid(opened).join(QLatin1Char('\n'));
    const int imported = int(messages.size());
    if (!editor.files.BCBJWJ(editPath)) {
        *error = messages.mid(imported).join(QLatin1Char('\n'));
        return false;
    }
    return true;
}

bool EditorRender::play(const QString &editPath, Notifier &notices, ScoreRender::Performance *p,
                        QString *error, qint64 limitNs)
{
    auto session = std::make_unique<RenderSession>();
    auto model = std::make_unique<EditorModel>();
    VirtualClock &clock = session->clock;
    EditorControllers editor(session->ctx, *model);
    editor.open();
    if (!editor.files.openEditFile(editPath)) {
        const QStringList &messages = session->dialogs.messages;
        *error = messages.value(int(messages.size()) - 1);
        return false;
    }
    session->dialogs.listener = &notices;

    // Before playing, the editor has set the instruments of its melody
    // channels; the file starts with those program changes.
    QVector<TimedMidiMessage> opening;
    for (const TimedMidiMessage &m : session->midi.messages()) {
        const int kind = m.message.kind();
        if ((kind == Midi::ControlChange || kind == Midi::ProgramChange) && m.message.channel() <= 4)
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
