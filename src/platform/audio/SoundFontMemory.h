#pragma once

#include <QString>

class QSettings;

// The sound font the user chose in the window, carried to the next run
// (beside the device buffer, see BufferMemory). A font named on the command
// line is for its run only and is not remembered.
namespace SoundFontMemory {

// The font to start with; empty when none is remembered.
QString recall(QSettings &settings);
// The user switched to `path` and it plays.
void chose(QSettings &settings, const QString &path);
// The run started with the remembered font `asked`; `playing` is the font
// that plays (empty: none). One that could not be loaded (gone, broken) is
// forgotten, so that the user, told once, is not told again at every start.
void started(QSettings &settings, const QString &asked, const QString &playing);

}  // namespace SoundFontMemory
