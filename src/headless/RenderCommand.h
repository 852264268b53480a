#pragma once

#include "headless/ScoreExport.h"
#include "songs/MusicXml.h"

#include <QString>
#include <QStringList>

#include <functional>

class QTextStream;
struct SongImportResult;

// "dzq --render SCORE.txt -o OUT.mid|OUT.wav [--soundfont FONT]": exports a score file without
// any window, sound card or single-instance lock; "-o OUT.pdf|OUT.svg|OUT.png
// [--time 2/4|3/4|4/4]" draws its numbered notation instead (4/4 unless told). "dzq --render EDIT.lnk ..."
// plays an edit file of the music editor from the start instead, and
// "dzq --import SCORE.txt -o EDIT.lnk [--time 2/4|3/4|4/4]" imports a score
// into a fresh editor and saves the edit (exit status 0 or 1).
// "dzq --import SONG.mid -o SCORE.txt [--track N]" turns a MIDI file's
// melody into a score, and "dzq --render SCORE.txt -o OUT.musicxml [--time
// …] [--key C…B]" writes a score for notation programs; an import is told
// apart by its input, a MIDI file. "dzq --render SONG.mid -o OUT" converts a
// song at once, in its own key and time, into any of those outputs.
//
// Exit status: 0 written; 1 a bad argument, a score file that cannot be read,
// an output type other than .mid/.midi/.wav or an output that cannot be
// written (no output file then); 2 an unrecognised token in the score, or
// an empty score, for every output type (the output holds what was played
// or drawn before it).
class RenderCommand {
public:
    // True when the arguments ask for the command line export rather than
    // the program's windows.
    static bool requested(const QStringList &arguments);
    // True when they ask for a picture of the notation (-o with .pdf, .svg
    // or .png): drawing needs fonts, so the caller sets up a GUI application
    // without a display and passes a PictureWriter.
    static bool wantsPicture(const QStringList &arguments);
    static bool isPicture(const QString &path);

    // Draws SCORE into OUT in bars of `beatsPerBar`, headed with the key of
    // the key list's entry `keyPosition`; returns the exit status.
    // `keepGoing` answers false once the picture should not be written after all.
    using PictureWriter = std::function<int(const QString &scorePath, const QString &outputPath, int beatsPerBar,
                                            QTextStream &out, QTextStream &err,
                                            const std::function<bool(int percent)> &keepGoing, int keyPosition)>;

    // Runs the export; arguments as QCoreApplication::arguments() gives them.
    // A one-line summary goes to `out`, every message to `err`. Rhythm files
    // for "JP" 10..98 come from recordFolder. SIGTERM, SIGHUP or Ctrl+C stop
    // it at once (a WAV render or a picture is abandoned, no file is left)
    // and end the program by that signal.
    static int run(const QStringList &arguments, const QString &recordFolder, QTextStream &out,
                   QTextStream &err, const PictureWriter &pictures = PictureWriter());

    static QString usage();
    // An edit file of the music editor: the extension ".lnk" (any case).
    static bool isEditFile(const QString &path);

    // Line and column (1-based) in a file's text of a position in the score
    // read from it (its lines joined). False when the position lies beyond it.
    static bool lineAndColumn(const QString &fileText, int scorePosition, int *line, int *column);

private:
    static int runCommand(const QStringList &arguments, const QString &recordFolder, QTextStream &out,
                          QTextStream &err, const PictureWriter &pictures);
    // The notation of a score as a picture.
    static int runPicture(const QString &scorePath, const QString &outputPath, const QString &time,
                          int keyPosition, QTextStream &out, QTextStream &err, const PictureWriter &pictures);
    // A score or an edit file played into a MIDI or WAV file.
    // keyPosition: the key list's entry to play in, or -1 for the score's own.
    static int runRender(const QString &scorePath, const QString &outputPath, const QString &soundFont,
                         int keyPosition, const QString &time, const QString &recordFolder, QTextStream &out,
                         QTextStream &err);
    // A score played into a MIDI or WAV file; scorePath (may be empty) names
    // the file it came from for the place of an error.
    static int exportPlayed(const QString &score, const QString &outputPath, ScoreExport::Kind kind,
                            const ScoreExport::Options &options, const QString &scorePath,
                            const QString &recordFolder, QTextStream &out, QTextStream &err);
    static int writeMusicXml(const QString &score, const QString &outputPath, const MusicXml::Options &options,
                             QTextStream &out, QTextStream &err);
    // Reads a song and tells its parts and what the import did; Ok or the
    // exit status of the failure (told on err).
    static int importSong(const QString &songPath, const QString &track, const QString &time,
                          SongImportResult *result, QTextStream &err);
    // A song converted at once into any output, in its own key and time.
    static int runSongRender(const QString &songPath, const QString &outputPath, const QString &track,
                             const QString &time, int keyPosition, const QString &soundFont,
                             const QString &recordFolder, QTextStream &out, QTextStream &err,
                             const PictureWriter &pictures);
    static int runImport(const QString &scorePath, const QString &editPath, const QString &time,
                         QTextStream &out, QTextStream &err);
    static int runSongImport(const QString &songPath, const QString &scorePath, const QString &track,
                             const QString &time, QTextStream &out, QTextStream &err);
    static int runMusicXml(const QString &scorePath, const QString &outputPath, const QString &time,
                           const QString &key, QTextStream &out, QTextStream &err);
    static int runEditRender(const QString &editPath, const QString &outputPath, ScoreExport::Kind kind,
                             const QString &soundFont, QTextStream &out, QTextStream &err);
};
