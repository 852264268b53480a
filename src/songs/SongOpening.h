#pragma once

#include <QString>

class MelodyVoices;
class RhythmPattern;
class WindowDisplay;
struct Session;

// "打开" with a MIDI file: the song's melody becomes the score in the score
// box, the key list moves to the song's key, and a box tells what was done
// (the part taken, the tempo, and how many notes the key and the range
// moved). A song that names its time sets the rhythm's beat option, which
// the 简谱 and MusicXML follow. The score then plays with "试听" as any
// score does.
class SongOpening {
public:
    SongOpening(Session &ctx, WindowDisplay &display, MelodyVoices &voices, RhythmPattern *pattern = nullptr);

    // The entry "打开" offers beside the score files.
    static QString filterEntry() { return QStringLiteral("MIDI文件|*.mid;*.midi;*.kar"); }
    static QString doneStatus() { return QStringLiteral("成功导入MIDI文件。。。"); }

    // Whether "打开" hands this file here rather than reading it as a score.
    static bool accepts(const QString &path);
    // Converts the file; a refused file leaves the score box empty and says why.
    void open(const QString &path);

private:
    Session &ctx_;
    WindowDisplay &display_;
    MelodyVoices &voices_;
    RhythmPattern *pattern_;
};
