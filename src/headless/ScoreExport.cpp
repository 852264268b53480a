#include "headless/ScoreExport.h"

#include "songs/SongKey.h"
#include "platform/media/OfflineRenderer.h"
#include "score/ScoreReader.h"
#include "score/ScorePlayer.h"
#include "score/ScoreLanguage.h"

#include <QDir>
#include <QFileInfo>

ScoreExport::Kind ScoreExport::kindOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("mid") || suffix == QLatin1String("midi"))
        return Kind::Midi;
    if (suffix == QLatin1String("wav"))
        return Kind::Wav;
    return Kind::Unknown;
}

QString ScoreExport::scoreErrorText(const ScoreRender::Performance &p)
{
    QString place;
    if (!p.errorToken.isEmpty())
        place = QStringLiteral("出错的位置：第%1个字符“%2”。").arg(p.errorPosition).arg(p.errorToken);
    else if (p.errorPosition <= 1)
        place = QStringLiteral("乐谱是空的。");
    else
        place = QStringLiteral("出错的位置：第%1个字符，乐谱在这里意外结束（乐谱应以TZ结束）。").arg(p.errorPosition);
    return ScorePlayer::errorMessage() + QLatin1Char('\n') + place;
}

MidiFileWriter::Timing ScoreExport::midiTiming(const QString &score, const ScoreRender::Performance &p,
                                                int beatsPerBar, int keyPosition)
{
    MidiFileWriter::Timing timing;
    timing.beatsPerBar = beatsPerBar;
    timing.keySharps = SongKey::signatureOfKey(qMax(0, keyPosition));
    if (p.startEighthBeatMs > 0)
        timing.tempos.append({0, p.startEighthBeatMs});
    for (int i = 0; i < p.steps.size(); ++i) {
        const ScoreRender::Step &step = p.steps[i];
        const ScoreReader::ReadResult read = ScoreReader::readToken(score, step.position);
        if (ScoreReader::kindOf(read) != ScoreReader::TokenKind::Tempo)
            continue;
        // The step after it reads at the new tempo; a tempo command that
        // ends the score sets its own, and one out of range halts.
        int eighthBeatMs = 0;
        if (i + 1 < p.steps.size())
            eighthBeatMs = p.steps[i + 1].eighthBeatMs;
        else if (read.number >= 1 && read.number <= 12 && p.ending != ScoreRender::Ending::Halted)
            eighthBeatMs = ScoreLanguage::eighthBeatMsOf(read.number);
        if (eighthBeatMs <= 0)
            continue;
        // A tempo command at the very moment of another (at the start, say)
        // replaces it: one tempo event a tick.
        if (!timing.tempos.isEmpty() && timing.tempos.last().ns == step.ns)
            timing.tempos.last().eighthBeatMs = eighthBeatMs;
        else
            timing.tempos.append({step.ns, eighthBeatMs});
    }
    return timing;
}

bool ScoreExport::writeWav(const QString &path, const QVector<TimedMidiMessage> &messages, qint64 tailNs,
                           const QString &soundFont, QString *error,
                           const std::function<bool(int percent)> &progress)
{
    OfflineRenderer::Options options;
    options.soundFont = soundFont;
    OfflineRenderer renderer(options);
    if (!renderer.isValid()) {
        *error = renderer.errorString();
        return false;
    }
    qint64 lastNs = 0;
    for (const TimedMidiMessage &m : messages) {
        renderer.scheduleNs(m.ns, m.message);
        lastNs = qMax(lastNs, m.ns);
    }
    const qint64 endNs = lastNs + qMax<qint64>(0, tailNs);
    // Whole frames up to the end, rounded up.
    const qint64 frames = (endNs * renderer.sampleRate() + 999'999'999) / 1'000'000'000;
    QString reason;
    bool cancelled = false;
    OfflineRenderer::Progress tell;
    if (progress)
        tell = [&](qint64 done, qint64 total) {
            cancelled = !progress(int(done * 100 / qMax<qint64>(1, total)));
            return !cancelled;
        };
    if (!renderer.renderToWav(path, frames, WavWriter::Format::Pcm16, &reason, tell)) {
        if (cancelled) {
            *error = cancelledMessage();
            return false;
        }
        *error = QStringLiteral("无法写入WAV文件“%1”：%2\n%3")
                     .arg(QDir::toNativeSeparators(path), reason, MidiFileWriter::writeHint());
        return false;
    }
    return true;
}

ScoreExport::Result ScoreExport::exportScore(const QString &score, const QString &outputPath, Kind kind,
                                             const QString &recordFolder, Notifier &notices,
                                             const Options &options)
{
    Result result;
    if (kind == Kind::Unknown) {
        result.status = Failed;
        result.message = QStringLiteral("不支持输出文件“%1”的类型。请使用扩展名 .mid（MIDI文件）或 .wav（WAV录音）。")
                             .arg(outputPath);
        return result;
    }
    if (!ScoreReader::withinLengthLimit(score)) {
        result.status = Failed;
        result.message = ScoreReader::tooLongMessage();
        return result;
    }

    ScoreRender::Start start;
    start.keyPosition = options.keyPosition;
    result.performance = ScoreRender::play(score, recordFolder, notices, options.limitNs, start);
    const ScoreRender::Performance &p = result.performance;

    QString error;
    const bool written = kind == Kind::Midi
                             ? MidiFileWriter::write(outputPath, p.messages, p.endNs, &error,
                                                     midiTiming(score, p, options.beatsPerBar, options.keyPosition))
                             : writeWav(outputPath, p.messages, options.wavTailNs, options.soundFont, &error,
                                        options.progress);
    if (!written) {
        result.status = Failed;
        result.message = error;
        return result;
    }

    const double seconds = double(p.endNs) / 1e9;
    switch (p.ending) {
    case ScoreRender::Ending::Ended:
        break;
    case ScoreRender::Ending::Error:
        result.status = ScoreError;
        result.message = scoreErrorText(p);
        break;
    case ScoreRender::Ending::Halted:
        result.notice = QStringLiteral("乐谱在%1秒处停住了（速度命令VS的数字只能是1到12），导出到此为止。")
                            .arg(seconds, 0, 'f', 3);
        break;
    case ScoreRender::Ending::Limit:
        // Name the limit that was reached, and a zero duration only if there is one.
        result.notice = p.zeroDuration
                            ? QStringLiteral("乐谱在时值为0的音符或休止符处停住了，节奏却一直在演奏，"
                                             "导出到最长时间%1秒为止。")
                            : QStringLiteral("乐谱演奏到导出的最长时间%1秒仍未结束，导出到此为止。");
        result.notice = result.notice.arg(seconds, 0, 'f', 3);
        break;
    case ScoreRender::Ending::Stalled:
        result.notice = QStringLiteral("乐谱在时值为0的音符或休止符处停住了（它永远不会结束），"
                                       "最后的声音保持2秒后，导出到%1秒为止。")
                            .arg(seconds, 0, 'f', 3);
        break;
    }
    return result;
}
