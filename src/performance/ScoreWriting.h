#pragma once

#include <QString>

struct SharedState;

// Writing a performance into ScoreText while it is played; shared by the
// main window's keyboard and the mini window.

// Appends a code: the duration counted since the previous code comes first,
// except at the very start of an empty score.
void AppendScoreCode(SharedState &state, const QString &code);

// One duration tick. Returns true when the count ran past 99: the count is
// held at 99 and "99TZ" ends the score; the caller stops its timer.
bool CountDurationTick(SharedState &state);
