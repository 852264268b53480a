#include "editor/EditorControllers.h"

#include "core/Session.h"

EditorControllers::EditorControllers(Session &context, EditorModel &editorModel)
    : ctx(context),
      model(editorModel),
      devices(context.port),
      controls(context, editorModel),
      playback(context, editorModel, controls),
      files(context, editorModel, controls, playback)
{
    playback.stopMainRhythm = [this] {
        if (stopMainRhythm)
            stopMainRhythm();
    };
}

void EditorControllers::open()
{
    // The main window plays nothing from the step table the editor writes.
    if (stopMainRhythm)
        stopMainRhythm();
    if (!controls.EditorInitialised()) {
        devices.refresh();
        devices.select(1);
    }
    controls.activate();
    if (setWaveVolume)
        setWaveVolume(kWaveVolume);
}

void EditorControllers::leave()
{
    playback.leave();
    controls.unload();
    if (restoreMainRhythm)
        restoreMainRhythm();
    // The next opening starts with an empty edit: what no file holds is kept.
    const QString kept = files.keepUnsaved();
    if (!kept.isEmpty() && tellMainWindow)
        tellMainWindow(kept);
}
