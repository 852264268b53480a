#pragma once

#include "headless/ScoreRender.h"

#include <QString>

class Notifier;

// The music editor without a window, sound card or waiting: a fresh editor
// (its start-up defaults) on a session of its own, a virtual clock and an
// output that records every message with its time.
class EditorRender {
public:
    // What a freshly opened editor writes when it imports the score file and
    // saves the edit: timeOption 0 "2/4", 1 "3/4", 2 "4/4". False with the
    // reason in *error. A score longer than the editor holds is cut; *notice
    // then says so.
    static bool importScore(const QString &scorePath, const QString &editPath, int timeOption,
                            QString *error, QString *notice);

    // Opens the edit file as "打开编辑文件" does and plays it from the start
    // until the music ends by itself (or the limit is reached). The
    // performance starts with the program changes of channels 0..4 sent by
    // then, at time 0. Messages the editor shows meanwhile (a MIDI error, say)
    // go to `notices`; a file that cannot be opened gives false and *error.
    static bool play(const QString &editPath, Notifier &notices, ScoreRender::Performance *performance,
                     QString *error, qint64 limitNs = ScoreRender::kDefaultLimitNs);
};
