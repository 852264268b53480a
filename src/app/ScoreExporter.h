#pragma once

#include "app/ScoreExport.h"

#include <QString>

struct Session;
class WindowDisplay;

// The export button DcMidi beside the score box: writes the score box's text
// as a MIDI file, played in virtual time on controllers of its own, so the
// live keyboard, score and rhythm are not touched.
class ScoreExporter {
public:
    ScoreExporter(Session &ctx, WindowDisplay &display);

    static QString caption() { return QStringLiteral("导出"); }
    static QString toolTip()
    {
        return QStringLiteral("把乐谱编辑窗口中的乐谱导出为MIDI文件，以便在其他音乐软件中播放或编辑！");
    }
    // "MIDI文件|*.mid"
    static QString filter() { return QStringLiteral("MIDI文件|*.mid"); }
    static QString doneStatus() { return QStringLiteral("成功导出MIDI文件。。。"); }

    // A click on DcMidi: asks for the file (in the record folder, asking
    // before overwriting), exports, and reports in the status line or, on
    // failure, in a message box. The score is read as the play button reads
    // it, in upper case. Returns whether a file was written.
    bool DcMidiClicked();

    // For tests: a shorter limit for scores that never end.
    ScoreExport::Options options;

private:
    Session &ctx_;
    WindowDisplay &display_;
};
