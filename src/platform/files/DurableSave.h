#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;

// Saves that replace a file as trusted storage does: written to a temporary
// copy beside it, flushed to the disk, then renamed over the old file. A
// failure names the system's own reason (a full disk, a read-only folder).
namespace DurableSave {

// Whether `path` may be replaced: an existing device, pipe or folder (also
// behind a symbolic link) is never swapped for a file, which renaming over
// it would do. False with the reason.
bool checkTarget(const QString &path, QString *reason);

// Writes the bytes to `path` that way. False with the system's reason.
bool write(const QString &path, const QByteArray &bytes, QString *reason);

// Flushes what was written to `file` (open, unbuffered or flushed) to the
// disk. False with the system's reason.
bool flushToDisk(QFileDevice &file, QString *reason);

// Removes the temporary copies that a save interrupted by a crash or a kill
// left in `folder` ("NAME.txt.XXXXXX" beside "NAME.txt", for the program's
// own file types), when they were last written more than minAgeSeconds ago.
// Returns how many were removed.
int removeLeftovers(const QString &folder, int minAgeSeconds = 10);

}  // namespace DurableSave
