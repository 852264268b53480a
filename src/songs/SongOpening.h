#pragma once

#include "songs/SongAudition.h"
#include "songs/SongImport.h"

#include <QString>

#include <functional>
#include <memory>

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
    // Converts the file; a refused file leaves the score box as it was and
    // says why. A song of several parts (percussion aside) is first shown to
    // the chooser, when there is one; a cancel there changes nothing.
    void open(const QString &path);

    // What the part list is shown: the song as the import saw it (its parts,
    // the part it would take), and "试听" of a part.
    struct PartChoice {
        const SongImportResult &song;
        std::function<void(int part)> listen;  // 0 stops
        std::function<bool()> listening;
        std::function<void(std::function<void()>)> onListenEnded;
    };
    // The part chosen (1..), or 0 for a cancel.
    using Chooser = std::function<int(const PartChoice &choice)>;
    void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }
    // Where "试听" of a part sends its notes.
    void setSound(SongAudition::Send send) { send_ = std::move(send); }
    // Parts the user chooses among: those not played on drums.
    static int choosableParts(const SongImportResult &r);

private:
    Session &ctx_;
    WindowDisplay &display_;
    MelodyVoices &voices_;
    RhythmPattern *pattern_;
    Chooser chooser_;
    SongAudition::Send send_;
};
