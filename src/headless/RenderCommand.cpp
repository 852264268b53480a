#include "headless/RenderCommand.h"

#include "headless/ConsoleNotifier.h"
#include "headless/EditorRender.h"
#include "headless/ScoreExport.h"
#include "jianpu/NotationSheet.h"
#include "platform/files/TextFiles.h"
#include "score/ScoreFiles.h"
#include "songs/MusicXml.h"
#include "songs/SongImport.h"

#include "performance/MelodyVoices.h"
#include "platform/audio/FontCheck.h"
#include "songs/midifile/MidiFileWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <csignal>
#include <pthread.h>
#include <iterator>
#include <memory>
#include <utility>
#include <unistd.h>

namespace {

// The stop signal received while a command runs, 0 before.
volatile std::sig_atomic_t stopSignal = 0;
constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};

void onStopSignal(int number)
{
    if (stopSignal != 0) {
        // Asked again: end at once, as without a handler.
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    stopSignal = number;
}

// While a command runs, SIGTERM, SIGHUP and Ctrl+C ask it to stop: a long
// export looks between blocks, stops and removes what it had begun. A
// signal ignored when the program started (a job in the background) stays
// ignored; one left blocked by whoever started it is let through, or it
// would never stop anything.
class StopSignals {
public:
    StopSignals()
    {
        stopSignal = 0;
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigset_t handled;
        sigemptyset(&handled);
        for (size_t i = 0; i < std::size(kStopSignals); ++i) {
            struct sigaction before = {};
            ::sigaction(kStopSignals[i], nullptr, &before);
            installed_[i] = before.sa_handler != SIG_IGN;
            if (installed_[i]) {
                ::sigaction(kStopSignals[i], &action, &previous_[i]);
                sigaddset(&handled, kStopSignals[i]);
            }
        }
        pthread_sigmask(SIG_UNBLOCK, &handled, nullptr);
    }
    ~StopSignals() { restore(); }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    static int received() { return stopSignal; }

    // Ends the program as the signal does by default; where it does not
    // (the first process of a container ignores it), the shell's status
    // for it.
    int endBySignal()
    {
        restore();
        const int number = stopSignal;
        std::signal(number, SIG_DFL);
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, number);
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        std::raise(number);
        return 128 + number;
    }

private:
    void restore()
    {
        for (size_t i = 0; i < std::size(kStopSignals); ++i) {
            if (installed_[i])
                ::sigaction(kStopSignals[i], &previous_[i], nullptr);
            installed_[i] = false;
        }
    }

    bool installed_[std::size(kStopSignals)] = {};
    struct sigaction previous_[std::size(kStopSignals)] = {};
};

bool keepGoing()
{
    return stopSignal == 0;
}

// A WAV export shows the percent of the music rendered on one line of the
// terminal; a stop signal cancels it and no file is written.
std::function<bool(int)> terminalProgress(QTextStream &err)
{
    const bool terminal = isatty(STDERR_FILENO);
    auto last = std::make_shared<int>(-1);
    return [&err, terminal, last](int percent) {
        if (terminal && percent != *last) {
            *last = percent;
            err << QStringLiteral("\r正在导出WAV：%1%").arg(percent) << Qt::flush;
            if (percent >= 100)
                err << Qt::endl;
        }
        if (!keepGoing() && terminal)
            err << Qt::endl;
        return keepGoing();
    };
}

const QString kRender = QStringLiteral("--render");
const QString kOutput = QStringLiteral("-o");
const QString kOutputLong = QStringLiteral("--output");
const QString kImport = QStringLiteral("--import");
const QString kTime = QStringLiteral("--time");
const QString kTrack = QStringLiteral("--track");
const QString kKey = QStringLiteral("--key");
const QString kSoundFont = QStringLiteral("--soundfont");

QString badKey(const QString &key)
{
    return QStringLiteral("音调“%1”无法识别，只能是 C、C#、D、D#、E、F、F#、G、G#、A、A# 或 B。").arg(key);
}

int fail(QTextStream &err, const QString &text, bool withUsage = false)
{
    err << text << Qt::endl;
    if (withUsage)
        err << RenderCommand::usage() << Qt::endl;
    return ScoreExport::Failed;
}

// What the command line asks for: each option's value, empty when not given.
struct Request {
    QString scorePath;   // --render
    QString outputPath;  // -o, --output
    QString importPath;  // --import
    QString time;        // --time
    QString track;       // --track
    QString key;         // --key
    QString soundFont;   // --soundfont
};

// False, told with the usage, for an unknown option, one given twice or one
// without its value.
bool readArguments(const QStringList &arguments, Request *request, QTextStream &err)
{
    const std::pair<const QString &, QString *> options[] = {
        {kRender, &request->scorePath}, {kOutput, &request->outputPath}, {kOutputLong, &request->outputPath},
        {kImport, &request->importPath}, {kTime, &request->time},        {kTrack, &request->track},
        {kKey, &request->key},           {kSoundFont, &request->soundFont}};
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        QString *target = nullptr;
        for (const auto &[name, value] : options) {
            if (a == name)
                target = value;
        }
        if (!target) {
            fail(err, QStringLiteral("无法识别的参数“%1”。").arg(a), true);
            return false;
        }
        if (!target->isEmpty()) {
            fail(err, QStringLiteral("参数“%1”只能给出一次。").arg(a), true);
            return false;
        }
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
            fail(err, QStringLiteral("参数“%1”后面缺少文件名。").arg(a), true);
            return false;
        }
        *target = arguments[++i];
    }
    return true;
}

// In a file of several lines, where the score's position stands in the
// file: "（文件第3行第7列）"; nothing for a file of one line.
QString placeInFile(const QString &scorePath, int scorePosition)
{
    QByteArray bytes;
    QString reason;
    int line = 0;
    int column = 0;
    if (TextFiles::readBytes(scorePath, &bytes, &reason)
        && RenderCommand::lineAndColumn(TextFiles::decodeGbk(bytes), scorePosition, &line, &column) && line > 1)
        return QStringLiteral("（文件第%1行第%2列）").arg(line).arg(column);
    return QString();
}

}  // namespace

QString RenderCommand::usage()
{
    return QStringLiteral(
        "用法: dzq --render 乐谱文件.txt|编辑文件.lnk -o 输出文件.mid|输出文件.wav [--soundfont 音色库] [--key C…B]\n"
        "      dzq --render 乐谱文件.txt -o 输出文件.mid [--time 2/4|3/4|4/4] [--key C…B]\n"
        "      dzq --render 乐谱文件.txt -o 简谱.pdf|简谱.svg|简谱.png [--time 2/4|3/4|4/4] [--key C…B]\n"
        "      dzq --render 乐谱文件.txt -o 乐谱.musicxml [--time 2/4|3/4|4/4] [--key C…B]\n"
        "      dzq --render 歌曲.mid -o 乐谱.musicxml|简谱.pdf|…|输出文件.mid [--track 音轨号] [--key C…B]\n"
        "      dzq --import 乐谱文件.txt -o 编辑文件.lnk [--time 2/4|3/4|4/4]\n"
        "      dzq --import 歌曲.mid -o 乐谱文件.txt [--track 音轨号]");
}

bool RenderCommand::isEditFile(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("lnk"), Qt::CaseInsensitive) == 0;
}

bool RenderCommand::requested(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == kRender || a == kOutput || a == kOutputLong || a == kImport || a == kTime || a == kTrack
            || a == kKey)
            return true;
    }
    return false;
}

bool RenderCommand::isPicture(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("pdf") || suffix == QLatin1String("svg") || suffix == QLatin1String("png");
}

bool RenderCommand::wantsPicture(const QStringList &arguments)
{
    bool render = false;
    bool picture = false;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == kRender)
            render = true;
        else if ((arguments[i] == kOutput || arguments[i] == kOutputLong) && i + 1 < arguments.size())
            picture = isPicture(arguments[i + 1]);
    }
    return render && picture;
}

bool RenderCommand::lineAndColumn(const QString &fileText, int scorePosition, int *line, int *column)
{
    int l = 1;
    int c = 1;
    int position = 1;
    for (int i = 0; i < fileText.size(); ++i) {
        if (fileText[i] == QLatin1Char('\r')) {
            // A line ends at CR LF or at a lone CR; a lone LF stays in the score.
            if (i + 1 < fileText.size() && fileText[i + 1] == QLatin1Char('\n'))
                ++i;
            ++l;
            c = 1;
            continue;
        }
        if (position == scorePosition)
            break;
        ++position;
        ++c;
    }
    if (position != scorePosition)
        return false;
    *line = l;
    *column = c;
    return true;
}

int RenderCommand::run(const QStringList &arguments, const QString &recordFolder, QTextStream &out,
                       QTextStream &err, const PictureWriter &pictures)
{
    StopSignals stop;
    const int status = runCommand(arguments, recordFolder, out, err, pictures);
    if (!StopSignals::received())
        return status;
    err << QStringLiteral("收到信号%1，程序结束。").arg(StopSignals::received()) << Qt::endl;
    out.flush();
    return stop.endBySignal();
}

int RenderCommand::runCommand(const QStringList &arguments, const QString &recordFolder, QTextStream &out,
                              QTextStream &err, const PictureWriter &pictures)
{
    Request r;
    if (!readArguments(arguments, &r, err))
        return ScoreExport::Failed;
    const bool picture = !r.scorePath.isEmpty() && r.importPath.isEmpty() && isPicture(r.outputPath);
    const bool song = !r.importPath.isEmpty() && r.scorePath.isEmpty() && SongImport::isMidiFile(r.importPath);
    const bool musicXml = !r.scorePath.isEmpty() && r.importPath.isEmpty() && MusicXml::isMusicXmlFile(r.outputPath);
    // A song given to --render is converted at once, in its own key and time.
    const bool songRender = !r.scorePath.isEmpty() && r.importPath.isEmpty() && !isEditFile(r.scorePath)
                            && SongImport::isMidiFile(r.scorePath);
    if (!r.track.isEmpty() && !song && !songRender)
        return fail(err, QStringLiteral("--track 只能用于导入MIDI文件（--import 歌曲.mid）。"), true);
    // Every export plays or writes in the key asked for; an import has none.
    const int keyPosition = r.key.isEmpty() ? -1 : int(MelodyVoices::keyTexts().indexOf(r.key.toUpper()));
    if (!r.key.isEmpty() && (r.scorePath.isEmpty() || !r.importPath.isEmpty()))
        return fail(err, QStringLiteral("--key 只能用于导出（--render 乐谱文件.txt -o 输出文件）。"), true);
    if (!r.key.isEmpty() && keyPosition < 0)
        return fail(err, badKey(r.key), true);
    if (!r.key.isEmpty() && isEditFile(r.scorePath))
        return fail(err, QStringLiteral("--key 不能用于编辑文件：编辑文件自带音调。"), true);
    if (songRender)
        return runSongRender(r.scorePath, r.outputPath, r.track, r.time, keyPosition, r.soundFont, recordFolder,
                             out, err, pictures);
    if (song)
        return runSongImport(r.importPath, r.outputPath, r.track, r.time, out, err);
    if (musicXml)
        return runMusicXml(r.scorePath, r.outputPath, r.time, r.key, out, err);
    // A MIDI file has bars too.
    const bool midiTime = !r.time.isEmpty() && !r.scorePath.isEmpty() && r.importPath.isEmpty()
                          && ScoreExport::kindOf(r.outputPath) == ScoreExport::Kind::Midi;
    if (!r.importPath.isEmpty() || (!r.time.isEmpty() && !picture && !midiTime)) {
        if (!r.scorePath.isEmpty())
            return fail(err, QStringLiteral("--import 和 --render 不能同时使用。"), true);
        return runImport(r.importPath, r.outputPath, r.time, out, err);
    }
    if (r.scorePath.isEmpty())
        return fail(err, QStringLiteral("缺少要导出的乐谱文件（--render 乐谱文件.txt）。"), true);
    if (r.outputPath.isEmpty())
        return fail(err, QStringLiteral("缺少输出文件（-o 输出文件.mid 或 .wav）。"), true);
    if (picture)
        return runPicture(r.scorePath, r.outputPath, r.time, qMax(0, keyPosition), out, err, pictures);
    return runRender(r.scorePath, r.outputPath, r.soundFont, keyPosition, r.time, recordFolder, out, err);
}

int RenderCommand::runPicture(const QString &scorePath, const QString &outputPath, const QString &time,
                              int keyPosition, QTextStream &out, QTextStream &err, const PictureWriter &pictures)
{
    if (isEditFile(scorePath))
        return fail(err, QStringLiteral("简谱只能从乐谱文件（.txt）导出。"), true);
    const int beats = time.isEmpty() ? 4 : Notation::beatsForText(time);
    if (beats == 0)
        return fail(err, QStringLiteral("拍号“%1”无法识别，只能是 2/4、3/4 或 4/4。").arg(time), true);
    if (!pictures)
        return fail(err, QStringLiteral("这里无法绘制简谱。"));
    return pictures(scorePath, outputPath, beats, out, err, [](int) { return keepGoing(); }, keyPosition);
}

int RenderCommand::runRender(const QString &scorePath, const QString &outputPath, const QString &soundFont,
                             int keyPosition, const QString &time, const QString &recordFolder, QTextStream &out,
                             QTextStream &err)
{
    const ScoreExport::Kind kind = ScoreExport::kindOf(outputPath);
    const int beats = time.isEmpty() ? 4 : Notation::beatsForText(time);
    if (beats == 0)
        return fail(err, QStringLiteral("拍号“%1”无法识别，只能是 2/4、3/4 或 4/4。").arg(time), true);
    if (!time.isEmpty() && isEditFile(scorePath))
        return fail(err, QStringLiteral("--time 不能用于编辑文件：编辑文件自带拍子。"), true);
    if (!soundFont.isEmpty() && kind != ScoreExport::Kind::Wav)
        return fail(err, QStringLiteral("--soundfont 只能用于导出WAV文件（-o 输出文件.wav）。"), true);
    if (!soundFont.isEmpty()) {
        const FontCheck::Verdict verdict = FontCheck::examine(soundFont);
        if (verdict != FontCheck::Verdict::Usable)
            return fail(err, FontCheck::refusalText(soundFont, verdict));
    }
    if (kind == ScoreExport::Kind::Unknown)
        return fail(err, QStringLiteral("不支持输出文件“%1”的类型。请使用扩展名 .mid（MIDI文件）、.wav（WAV录音）、"
                                        ".musicxml（打谱软件的乐谱），或 .pdf、.svg、.png（简谱）。")
                             .arg(QDir::toNativeSeparators(outputPath)));

    if (isEditFile(scorePath))
        return runEditRender(scorePath, outputPath, kind, soundFont, out, err);

    QString score;
    QString error;
    if (!ScoreFiles::readScore(scorePath, &score, &error))
        return fail(err, QStringLiteral("乐谱文件“%1”：%2").arg(QDir::toNativeSeparators(scorePath), error));

    ScoreExport::Options options;
    options.progress = terminalProgress(err);
    options.soundFont = soundFont;
    options.keyPosition = keyPosition;
    options.beatsPerBar = beats;
    return exportPlayed(score, outputPath, kind, options, scorePath, recordFolder, out, err);
}

int RenderCommand::exportPlayed(const QString &score, const QString &outputPath, ScoreExport::Kind kind,
                                const ScoreExport::Options &options, const QString &scorePath,
                                const QString &recordFolder, QTextStream &out, QTextStream &err)
{
    ConsoleNotifier notices(err);
    const ScoreExport::Result result = ScoreExport::exportScore(score, outputPath, kind, recordFolder, notices, options);
    const QString output = QDir::toNativeSeparators(outputPath);
    if (result.status == ScoreExport::Failed)
        return fail(err, result.message);

    if (result.status == ScoreExport::ScoreError) {
        err << result.message << (scorePath.isEmpty() ? QString() : placeInFile(scorePath, result.performance.errorPosition))
            << Qt::endl << QStringLiteral("出错之前演奏的部分已导出到“%1”。").arg(output) << Qt::endl;
        return ScoreExport::ScoreError;
    }

    if (!result.notice.isEmpty())
        err << result.notice << Qt::endl;
    out << QStringLiteral("已导出“%1”：%2条MIDI消息，%3秒。")
               .arg(output)
               .arg(result.performance.messages.size())
               .arg(double(result.performance.endNs) / 1e9, 0, 'f', 3)
        << Qt::endl;
    return ScoreExport::Ok;
}

int RenderCommand::runImport(const QString &scorePath, const QString &editPath, const QString &time,
                             QTextStream &out, QTextStream &err)
{
    if (scorePath.isEmpty())
        return fail(err, QStringLiteral("缺少要导入的乐谱文件（--import 乐谱文件.txt）。"), true);
    if (editPath.isEmpty())
        return fail(err, QStringLiteral("缺少要保存的编辑文件（-o 编辑文件.lnk）。"), true);
    const QStringList times{QStringLiteral("2/4"), QStringLiteral("3/4"), QStringLiteral("4/4")};
    const int option = time.isEmpty() ? 0 : int(times.indexOf(time));
    if (option < 0)
        return fail(err, QStringLiteral("节奏类型“%1”无法识别，只能是 2/4、3/4 或 4/4。").arg(time), true);

    QString error;
    QString notice;
    if (!EditorRender::importScore(scorePath, editPath, option, &error, &notice))
        return fail(err, error);
    if (!notice.isEmpty())
        err << notice << Qt::endl;
    out << QStringLiteral("已把乐谱“%1”导入并保存为编辑文件“%2”（%3拍）。")
               .arg(QDir::toNativeSeparators(scorePath), QDir::toNativeSeparators(editPath), times[option])
        << Qt::endl;
    return ScoreExport::Ok;
}

int RenderCommand::runEditRender(const QString &editPath, const QString &outputPath, ScoreExport::Kind kind,
                                 const QString &soundFont, QTextStream &out, QTextStream &err)
{
    ConsoleNotifier notices(err);
    ScoreRender::Performance p;
    QString error;
    if (!EditorRender::play(editPath, notices, &p, &error))
        return fail(err, error);
    const bool written = kind == ScoreExport::Kind::Midi
                             ? MidiFileWriter::write(outputPath, p.messages, p.endNs, &error)
                             : ScoreExport::writeWav(outputPath, p.messages, ScoreExport::Options().wavTailNs,
                                                     soundFont, &error, terminalProgress(err));
    if (!written)
        return fail(err, error);
    if (p.ending == ScoreRender::Ending::Limit)
        err << QStringLiteral("音乐演奏到%1秒仍未结束，导出到此为止。").arg(double(p.endNs) / 1e9, 0, 'f', 3)
            << Qt::endl;
    out << QStringLiteral("已导出“%1”：%2条MIDI消息，%3秒。")
               .arg(QDir::toNativeSeparators(outputPath))
               .arg(p.messages.size())
               .arg(double(p.endNs) / 1e9, 0, 'f', 3)
        << Qt::endl;
    return ScoreExport::Ok;
}

int RenderCommand::importSong(const QString &songPath, const QString &track, const QString &time,
                              SongImportResult *result, QTextStream &err)
{
    if (!time.isEmpty())
        return fail(err, QStringLiteral("--time 不能用于导入MIDI文件：拍子取自歌曲本身。"), true);
    bool ok = true;
    const int part = track.isEmpty() ? 0 : track.toInt(&ok);
    if (!ok || (!track.isEmpty() && part < 1))
        return fail(err, QStringLiteral("音轨号“%1”无效，应为1或更大的整数。").arg(track), true);

    const SongImportResult &r = *result = SongImport::importFile(songPath, part);
    const QString song = QDir::toNativeSeparators(songPath);
    if (r.parts.isEmpty() && !r.ok)
        return fail(err, QStringLiteral("无法导入MIDI文件“%1”：%2").arg(song, r.error));
    err << QStringLiteral("MIDI文件“%1”中的音轨：").arg(song) << Qt::endl;
    for (const QString &line : r.partLines())
        err << QStringLiteral("  ") << line << Qt::endl;
    for (const QString &warning : r.warnings)
        err << warning << Qt::endl;
    if (!r.ok)
        return fail(err, r.error);
    err << r.summary() << Qt::endl;
    return ScoreExport::Ok;
}

int RenderCommand::runSongRender(const QString &songPath, const QString &outputPath, const QString &track,
                                 const QString &time, int keyPosition, const QString &soundFont,
                                 const QString &recordFolder, QTextStream &out, QTextStream &err,
                                 const PictureWriter &pictures)
{
    const bool picture = isPicture(outputPath);
    const bool musicXml = MusicXml::isMusicXmlFile(outputPath);
    const ScoreExport::Kind kind = ScoreExport::kindOf(outputPath);
    if (outputPath.isEmpty())
        return fail(err, QStringLiteral("缺少输出文件（-o 输出文件.mid 或 .wav）。"), true);
    if (!picture && !musicXml && kind == ScoreExport::Kind::Unknown)
        return fail(err, QStringLiteral("不支持输出文件“%1”的类型。请使用扩展名 .mid（MIDI文件）、.wav（WAV录音）、"
                                        ".musicxml（打谱软件的乐谱），或 .pdf、.svg、.png（简谱）。")
                             .arg(QDir::toNativeSeparators(outputPath)));
    if (!soundFont.isEmpty() && kind != ScoreExport::Kind::Wav)
        return fail(err, QStringLiteral("--soundfont 只能用于导出WAV文件（-o 输出文件.wav）。"), true);
    if (picture && !pictures)
        return fail(err, QStringLiteral("这里无法绘制简谱。"));

    SongImportResult song;
    const int imported = importSong(songPath, track, time, &song, err);
    if (imported != ScoreExport::Ok)
        return imported;
    // The song's own key and time unless --key says otherwise.
    const int key = keyPosition >= 0 ? keyPosition : song.keyPosition;
    const int beats = song.beatsPerBar > 0 ? song.beatsPerBar : 4;
    const QString title = QFileInfo(songPath).completeBaseName();
    if (musicXml) {
        MusicXml::Options options;
        options.beatsPerBar = beats;
        options.keyPosition = key;
        options.title = title;
        return writeMusicXml(song.score, outputPath, options, out, err);
    }
    if (picture) {
        // The picture is drawn from a score file, named as the song is so that
        // its header carries the song's name.
        QTemporaryDir folder;
        const QString scorePath = folder.filePath(title + QStringLiteral(".txt"));
        QString error;
        if (!folder.isValid() || !TextFiles::writeBytes(scorePath, song.fileBytes(), &error))
            return fail(err, QStringLiteral("无法写入临时乐谱文件：%1").arg(error.isEmpty() ? folder.errorString() : error));
        return pictures(scorePath, outputPath, beats, out, err, [](int) { return keepGoing(); }, key);
    }
    ScoreExport::Options options;
    options.progress = terminalProgress(err);
    options.soundFont = soundFont;
    options.keyPosition = key;
    options.beatsPerBar = beats;
    return exportPlayed(song.score, outputPath, kind, options, QString(), recordFolder, out, err);
}

int RenderCommand::runSongImport(const QString &songPath, const QString &scorePath, const QString &track,
                                 const QString &time, QTextStream &out, QTextStream &err)
{
    if (time.isEmpty()
        && (scorePath.isEmpty()
            || QFileInfo(scorePath).suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) != 0))
        return fail(err, QStringLiteral("MIDI文件要导入为乐谱文件（-o 乐谱文件.txt）。"), true);
    SongImportResult result;
    const int imported = importSong(songPath, track, time, &result, err);
    if (imported != ScoreExport::Ok)
        return imported;
    const SongImportResult &r = result;
    const QString song = QDir::toNativeSeparators(songPath);
    err << QStringLiteral("演奏时请把“音调”选为%1。").arg(MelodyVoices::keyTexts().value(r.keyPosition)) << Qt::endl;
    if (r.beatsPerBar > 0)
        err << QStringLiteral("画简谱或导出MusicXML时请用 --time %1/4。").arg(r.beatsPerBar) << Qt::endl;
    QString error;
    if (!TextFiles::writeBytes(scorePath, r.fileBytes(), &error))
        return fail(err, QStringLiteral("无法写入乐谱文件“%1”：%2").arg(QDir::toNativeSeparators(scorePath), error));
    out << QStringLiteral("已把MIDI文件“%1”导入为乐谱文件“%2”：%3个音符，%4个字符。")
               .arg(song, QDir::toNativeSeparators(scorePath))
               .arg(r.notes)
               .arg(r.score.size())
        << Qt::endl;
    return ScoreExport::Ok;
}

int RenderCommand::runMusicXml(const QString &scorePath, const QString &outputPath, const QString &time,
                               const QString &key, QTextStream &out, QTextStream &err)
{
    MusicXml::Options options;
    options.beatsPerBar = time.isEmpty() ? 4 : Notation::beatsForText(time);
    if (options.beatsPerBar == 0)
        return fail(err, QStringLiteral("拍号“%1”无法识别，只能是 2/4、3/4 或 4/4。").arg(time), true);
    options.keyPosition = key.isEmpty() ? 0 : int(MelodyVoices::keyTexts().indexOf(key.toUpper()));
    if (options.keyPosition < 0)
        return fail(err, badKey(key), true);
    if (isEditFile(scorePath))
        return fail(err, QStringLiteral("MusicXML只能从乐谱文件（.txt）导出。"), true);
    QString score;
    QString error;
    if (!ScoreFiles::readScore(scorePath, &score, &error))
        return fail(err, QStringLiteral("乐谱文件“%1”：%2").arg(QDir::toNativeSeparators(scorePath), error));
    options.title = QFileInfo(scorePath).completeBaseName();
    return writeMusicXml(score, outputPath, options, out, err);
}

int RenderCommand::writeMusicXml(const QString &score, const QString &outputPath, const MusicXml::Options &options,
                                 QTextStream &out, QTextStream &err)
{
    const MusicXml::Export r = MusicXml::exportScore(score, outputPath, options);
    const QString output = QDir::toNativeSeparators(outputPath);
    if (r.status == MusicXml::Export::Failed)
        return fail(err, r.message);
    if (r.status == MusicXml::Export::ScoreError) {
        err << r.message << Qt::endl << QStringLiteral("出错之前的部分已导出到“%1”。").arg(output) << Qt::endl;
        return ScoreExport::ScoreError;
    }
    if (!r.notice.isEmpty())
        err << r.notice << Qt::endl;
    out << QStringLiteral("已导出“%1”：%2个音符，%3小节。").arg(output).arg(r.notes).arg(r.measures) << Qt::endl;
    return ScoreExport::Ok;
}
