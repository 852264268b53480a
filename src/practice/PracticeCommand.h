#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// "dzq --practice SCORE --played TAKE.mid [--mode wait|step|tempo]
// [--speed PCT]": grades a performance recorded as a MIDI file against a
// score file (or a MIDI song, imported as "打开" imports it) without any
// window, and prints the result as one JSON object. Bad input gets one
// line on the error stream and exit status 1.
namespace PracticeCommand {

constexpr int kBadInput = 1;

// True when the arguments ask for grading rather than the practice window.
bool requested(const QStringList &arguments);

// Arguments as QCoreApplication::arguments() gives them; rhythm files for
// "JP" 10..98 come from recordFolder. Returns the exit status.
int run(const QStringList &arguments, const QString &recordFolder, QTextStream &out, QTextStream &err);

// The speed of an argument ("80" or "80%"); false outside 50..150.
bool parseSpeed(const QString &text, int *speed);

}  // namespace PracticeCommand
