#include "practice/PracticeScore.h"

#include "core/MidiMessage.h"
#include "jianpu/NotationSheet.h"
#include "platform/dialogs/UserDialogs.h"
#include "score/ScoreFiles.h"
#include "songs/SongImport.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <set>
#include <utility>

namespace Practice {

namespace {

constexpr qint64 kNsPerMs = 1000000;

// A render shows nothing: what it would show is of no use to practice.
class Unheard : public Notifier {
public:
    void message(const QString &, const QString &) override { }
};

bool isMelodyChannel(int channel)
{
    return channel >= 0 && channel <= 2;
}

// The bar of the cell a score position's token was drawn as; -1 for a
// token drawn as no cell (a command).
int barAt(const Notation::Sheet &sheet, int position)
{
    const std::pair<int, int> cells = sheet.cellsAt(position);
    if (cells.first == cells.second)
        return -1;
    return sheet.cells[cells.first].bar;
}

}  // namespace

ScoreFile readScoreFile(const QString &path)
{
    ScoreFile f;
    f.name = QFileInfo(path).completeBaseName();
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile()) {
        f.error = QFileInfo::exists(path) ? QStringLiteral("“%1”不是文件。").arg(shown)
                                          : QStringLiteral("找不到乐谱文件“%1”。").arg(shown);
        return f;
    }
    if (SongImport::isMidiFile(path)) {
        const SongImportResult r = SongImport::importFile(path);
        if (!r.ok) {
            f.error = QStringLiteral("无法导入MIDI文件“%1”：%2").arg(shown, r.error);
            return f;
        }
        f.text = r.score;
        f.keyPosition = r.keyPosition;
        f.ok = true;
        return f;
    }
    QString error;
    if (!ScoreFiles::readScore(path, &f.text, &error)) {
        f.error = QStringLiteral("乐谱文件“%1”：%2").arg(shown, error.simplified().remove(QLatin1Char(' ')));
        return f;
    }
    f.ok = true;
    return f;
}

QString Prepared::emptyReason() const
{
    if (ending == ScoreRender::Ending::Error && errorPosition <= 2)
        return QStringLiteral("这不是乐谱：开头的“%1”无法识别。").arg(errorToken);
    if (ending == ScoreRender::Ending::Error)
        return QStringLiteral("乐谱第%1个字符处的“%2”无法识别，在它之前没有要弹的音符。").arg(errorPosition).arg(errorToken);
    return QStringLiteral("乐谱中没有要弹的音符。");
}

QString Prepared::partNotice() const
{
    switch (ending) {
    case ScoreRender::Ending::Error:
        return QStringLiteral("乐谱第%1个字符处的“%2”无法识别，只练习它前面的%3个音。")
            .arg(errorPosition)
            .arg(errorToken)
            .arg(notes.size());
    case ScoreRender::Ending::Halted:
        return QStringLiteral("乐谱在速度命令处停止，只练习它前面的%1个音。").arg(notes.size());
    default:
        return QString();
    }
}

Prepared prepare(const QString &score, const QString &recordFolder, const ScoreRender::Start &start)
{
    Unheard unheard;
    const ScoreRender::Performance p = ScoreRender::play(score, recordFolder, unheard, ScoreRender::kDefaultLimitNs, start);
    Prepared r;
    r.steps = p.steps;
    r.endNs = p.endNs;
    r.ending = p.ending;
    r.errorPosition = p.errorPosition;
    r.errorToken = p.errorToken;

    std::set<std::pair<qint64, int>> onsets;    // (ns, pitch) of the melody's note-ons
    std::set<std::pair<qint64, int>> releases;  // and note-offs
    std::set<std::pair<int, int>> sounding;     // (channel, note) of the accompaniment
    for (int i = p.startUpCount; i < p.messages.size(); ++i) {
        const TimedMidiMessage &t = p.messages[i];
        const MidiMessage m = t.message;
        if (!isMelodyChannel(m.channel()) || m.kind() == Midi::System) {
            // The player silences its chord notes at every note, also when
            // none sound: only what ends a note is kept.
            if (m.isNoteOn())
                sounding.insert({m.channel(), m.data1});
            else if (m.isNoteOff() && sounding.erase({m.channel(), m.data1}) == 0)
                continue;
            r.accompaniment << t;
            continue;
        }
        if (m.isNoteOn() && onsets.insert({t.ns, m.data1}).second)
            r.melody << TimedMidiMessage{t.ns, MidiMessage::make(Midi::NoteOn, 0, m.data1, m.data2)};
        else if (m.isNoteOff() && releases.insert({t.ns, m.data1}).second)
            r.melody << TimedMidiMessage{t.ns, MidiMessage::make(Midi::NoteOff, 0, m.data1)};
    }

    for (const auto &[ns, pitch] : onsets) {
        r.notes << Note{double(ns) / kNsPerMs, pitch};
        // The note's token is the last one read at its moment: the commands
        // before it take no time, and a note ends the player's step.
        auto after = std::upper_bound(r.steps.cbegin(), r.steps.cend(), ns,
                                      [](qint64 t, const ScoreRender::Step &s) { return t < s.ns; });
        const ScoreRender::Step step = after == r.steps.cbegin() ? ScoreRender::Step() : *(after - 1);
        r.positions << step.position;
        r.eighthMs << step.eighthBeatMs;
    }
    return r;
}

QVector<int> noteBars(const Prepared &prepared, const Notation::Sheet &sheet)
{
    QVector<int> bars;
    int last = 0;
    for (int position : prepared.positions) {
        const int bar = barAt(sheet, position);
        last = bar >= 0 ? bar : last;
        bars << last;
    }
    return bars;
}

Passage passage(const Prepared &prepared, const Notation::Sheet &sheet, int firstBar, int lastBar)
{
    Passage p;
    const QVector<int> bars = noteBars(prepared, sheet);
    int first = -1;
    int count = 0;
    for (int i = 0; i < bars.size(); ++i) {
        if (bars[i] < firstBar || bars[i] > lastBar)
            continue;
        if (first < 0)
            first = i;
        ++count;
    }
    if (first < 0)
        return p;
    p.firstNote = first;
    p.noteCount = count;
    p.eighthMs = prepared.eighthMs.value(first);

    // From the first token drawn in the first bar (the whole opening for
    // the first bar), to the first token drawn after the last bar.
    qint64 startNs = firstBar <= 0 ? 0 : -1;
    qint64 endNs = prepared.endNs;
    for (const ScoreRender::Step &s : prepared.steps) {
        const int bar = barAt(sheet, s.position);
        if (bar < 0)
            continue;
        if (startNs < 0 && bar >= firstBar)
            startNs = s.ns;
        if (bar > lastBar) {
            endNs = s.ns;
            break;
        }
    }
    const double firstNoteMs = prepared.notes[first].ms;
    p.startMs = startNs < 0 ? firstNoteMs : qMin(double(startNs) / kNsPerMs, firstNoteMs);
    p.endMs = qMax(double(endNs) / kNsPerMs, prepared.notes[first + count - 1].ms);
    return p;
}

}  // namespace Practice
