#pragma once

#include <QString>
#include <QtGlobal>

class QDateTime;
class QFileDevice;

// Takes whose writing ended without a final header: the program was killed
// or crashed while recording, or the disk filled up. The samples are all in
// the file; only the lengths in the header are wrong.
namespace TakeRepair {

// Sets the lengths in the header of the WAV (or RF64) file open read-write
// in `file`: the data runs to the end of the file, cut to whole frames (a
// take of more than 4 GiB becomes RF64, in the room its header left).
// Returns the number of frames, or -1 with the reason in `error`.
qint64 fixHeader(QFileDevice &file, QString *error);
// The same on a file by name.
qint64 fixHeader(const QString &path, QString *error);

// A name for a kept take that is free in `folder`:
// "录音-yyyyMMdd-hhmmss.wav", else with "-2", "-3", ... before ".wav".
QString keptName(const QString &folder, const QDateTime &when);

}  // namespace TakeRepair
