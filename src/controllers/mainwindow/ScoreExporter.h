#pragma once

#include "headless/ScoreExport.h"

#include <QString>

struct Session;
class RhythmPattern;
class WindowDisplay;

// The export button DcMidi beside the score box: writes the score box's text
// as a MIDI file, or renders it into a WAV file, played in virtual time on
// controllers of its own, so the live keyboard, score and rhythm are not
// touched.
class ScoreExporter {
public:
    // MIDI and MusicXML files take their bars from the rhythm panel's time
    // signature (4/4 without a pattern).
    ScoreExporter(Session &ctx, WindowDisplay &display, const RhythmPattern *pattern = nullptr);

    static QString caption() { return QStringLiteral("导出"); }
    static QString toolTip()
    {
        return QStringLiteral("把乐谱编辑窗口中的乐谱导出为MIDI文件或WAV声音文件，以便在其他音乐软件中播放或编辑！");
    }
    // The file types, MIDI first.
    static QString filter()
    {
        return QStringLiteral("MIDI文件|*.mid|WAV声音文件|*.wav|MusicXML乐谱（打谱软件）|*.musicxml");
    }
    static QString musicXmlDoneStatus() { return QStringLiteral("成功导出MusicXML文件。。。"); }
    static QString doneStatus(ScoreExport::Kind kind)
    {
        return kind == ScoreExport::Kind::Wav ? QStringLiteral("成功导出WAV文件。。。")
                                              : QStringLiteral("成功导出MIDI文件。。。");
    }
    // The label of the progress box of a WAV export.
    static QString progressLabel(const QString &fileName)
    {
        return QStringLiteral("正在导出“%1”……").arg(fileName);
    }

    // A click on DcMidi: asks for the file (in the record folder, asking
    // before overwriting), exports, and reports in the status line or, on
    // failure, in a message box. A WAV file is rendered while a progress box
    // shows how far it has come; cancelled there, no file is written and a box
    // says so. The score is read as the play button reads it, in upper case.
    // Returns whether a file was written.
    bool DcMidiClicked();

    // For tests: a shorter limit for scores that never end.
    ScoreExport::Options options;

private:
    bool exportMusicXml(const QString &score, const QString &path);
    // Bars of the exported files: the rhythm panel's time signature.
    int beatsPerBar() const;

    Session &ctx_;
    WindowDisplay &display_;
    const RhythmPattern *pattern_;
};
