#pragma once

#include "TestContext.h"

#include "controllers/PerformanceControllers.h"
#include "core/MidiMessage.h"
#include "songs/midifile/MidiFileWriter.h"
#include "practice/PracticeHistory.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <initializer_list>
#include <utility>

namespace practicetest {

inline QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

// A take as a MIDI file: note-ons (and their note-offs 100 ms later) at
// whole milliseconds, channel 0.
inline QString writeTake(const QString &path, std::initializer_list<std::pair<int, int>> notes)
{
    QVector<TimedMidiMessage> messages;
    for (const auto &[ms, pitch] : notes) {
        messages << TimedMidiMessage{qint64(ms) * 1000000, MidiMessage::make(Midi::NoteOn, 0, pitch, 100)};
        messages << TimedMidiMessage{qint64(ms + 100) * 1000000, MidiMessage::make(Midi::NoteOff, 0, pitch)};
    }
    std::stable_sort(messages.begin(), messages.end(),
                     [](const TimedMidiMessage &a, const TimedMidiMessage &b) { return a.ns < b.ns; });
    QString error;
    return MidiFileWriter::write(path, messages, 0, &error) ? path : QString();
}

// The record's lines after the header, without the line ends.
inline QStringList recordLines(const QString &folder)
{
    QFile f(QDir(folder).filePath(Practice::History::fileName()));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    if (!lines.isEmpty())
        lines.removeFirst();
    return lines;
}

// The columns of a record line from 方式 on (the date changes).
inline QString recordFigures(const QString &line)
{
    return line.section(QLatin1Char(','), 2);
}

// The program's performance group on a test session, started as the
// program starts it: voices sound, the lists hold their defaults.
struct PerformanceRig {
    TestContext t;
    PerformanceControllers c{t.ctx, t.window};
    PerformanceRig() { c.initialise(); }
};

}  // namespace practicetest
