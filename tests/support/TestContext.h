#pragma once

#include "RecordingMidiBackend.h"
#include "ScriptedDialogs.h"

#include "headless/HeadlessSession.h"
#include "performance/KeyboardPartners.h"
#include "platform/media/MediaDevice.h"

#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// The media device in tests: keeps every command, and every one succeeds.
class RecordingMedia : public MediaDevice {
public:
    QStringList commands;

protected:
    int execute(const QString &text, QString *) override
    {
        commands << text;
        return 0;
    }
};

// Counts the choices made in the controllers it watches: each one is a
// focus return of their window.
struct ChoiceCounter {
    int n = 0;
    int count() const { return n; }
    template <typename Controller>
    void watch(Controller &c)
    {
        QObject::connect(&c, &Controller::choiceMade, [this] { ++n; });
    }
};

// Everything a controller needs: the program's session without a window,
// with fakes plugged in (a recording MIDI output with device 0 already open,
// scripted dialogs, a recording media device), an empty record folder of its
// own and the display of the window under test.
struct TestContext : HeadlessSession<RecordingMidiBackend, ScriptedDialogs, RecordingMedia> {
    QTemporaryDir folder;
    ChoiceCounter choices;

    TestContext()
    {
        ctx.recordFolder = folder.path();
        port.OpenMidiDevice(0);
    }

    QVector<quint32> sent() const { return midi.messages(); }
    void clearSent() { midi.clear(); }
    QString path(const QString &name) const { return folder.filePath(name); }
};

// The keyboard engine's partners as hooks; an empty hook does nothing.
struct HookPartners : KeyboardPartners {
    HookPartners() = default;
    // Silencing the score's notes through a real silencer (the chord room).
    explicit HookPartners(ScoreNoteSilencer &silencer)
        : onSilenceScoreNotes([&silencer] { silencer.SilenceScoreNotes(); })
    {
    }
    std::function<void()> onSilenceScoreNotes;
    std::function<void()> onHXQD, onTSYX, onZDJP, onStopRhythm, onClearScorePlaying, onResetPlayCaption;
    void HXQD() override { call(onHXQD); }
    void TSYX() override { call(onTSYX); }
    void ZDJP() override { call(onZDJP); }
    void stopRhythm() override { call(onStopRhythm); }
    void clearScorePlaying() override { call(onClearScorePlaying); }
    void resetPlayCaption() override { call(onResetPlayCaption); }
    void SilenceScoreNotes() override { call(onSilenceScoreNotes); }

private:
    static void call(const std::function<void()> &hook)
    {
        if (hook)
            hook();
    }
};
