#pragma once

#include "headless/ScoreRender.h"
#include "songs/midifile/MidiFileWriter.h"

#include <QString>

#include <functional>

class Notifier;

// How an export is made.
struct ScoreExportOptions {
    qint64 limitNs = ScoreRender::kDefaultLimitNs;
    qint64 wavTailNs = 2'000'000'000;  // the sound dies away after the last message
    QString soundFont;                 // empty: the program's own choice
    int keyPosition = -1;              // the key list's entry to play in; -1 start-up's "C"
    int beatsPerBar = 4;               // the bars of a MIDI file: 2/4, 3/4 or 4/4
    // A WAV export tells the percent of the music rendered; false cancels it
    // (no file is written then).
    std::function<bool(int percent)> progress;
};

// Exports a score: plays it in virtual time (ScoreRender) and writes what it
// played as a MIDI file, or renders it through the built-in synthesizer into
// a WAV file. Used by "dzq --render" and by the main window's export button.
class ScoreExport {
public:
    enum class Kind { Unknown, Midi, Wav };
    // By the file name's extension: .mid/.midi, .wav (any case).
    static Kind kindOf(const QString &path);

    using Options = ScoreExportOptions;

    // The outcome, with the exit status of "dzq --render".
    enum Status { Ok = 0, Failed = 1, ScoreError = 2 };
    struct Result {
        Status status = Ok;
        // Failed: why (Chinese, for the user). ScoreError: the error and its place.
        QString message;
        // A note for the user when the score did not end by itself (halted,
        // or stopped at the time limit); the file is complete all the same.
        QString notice;
        ScoreRender::Performance performance;
    };

    // Plays `score` and writes the output file. With an unrecognised token the
    // file holds what was played before it and the status is ScoreError. The
    // output is written whole or not at all.
    static Result exportScore(const QString &score, const QString &outputPath, Kind kind,
                              const QString &recordFolder, Notifier &notices,
                              const Options &options = Options());

    // The time of a performance for its MIDI file: the tempo at the start
    // and at every tempo command VS, the bars and the key it was played in.
    static MidiFileWriter::Timing midiTiming(const QString &score, const ScoreRender::Performance &performance,
                                             int beatsPerBar, int keyPosition);

    // Writes a performance's messages through the built-in synthesizer into a
    // 16-bit stereo WAV file that lasts until `tailNs` after the last message.
    static bool writeWav(const QString &path, const QVector<TimedMidiMessage> &messages, qint64 tailNs,
                         const QString &soundFont, QString *error,
                         const std::function<bool(int percent)> &progress = {});
    static QString cancelledMessage() { return QStringLiteral("导出已取消，没有写出文件。"); }

    // "乐谱中出现错误，请修改！" with the place of the token.
    static QString scoreErrorText(const ScoreRender::Performance &performance);
};
