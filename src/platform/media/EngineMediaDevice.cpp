#include "platform/media/EngineMediaDevice.h"

#include "platform/audio/AudioEngine.h"
#include "platform/media/MediaCommand.h"
#include "platform/media/TakeRecorder.h"
#include "platform/media/TakeRepair.h"
#include "platform/media/WavePlayback.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

namespace {

const char *const kTakePattern = "take-*.wav";

QString takeName(int count)
{
    return QStringLiteral("take-%1-%2.wav").arg(QCoreApplication::applicationPid()).arg(count);
}

// The copy of the program that wrote "take-PID-N.wav" still runs.
bool writerRuns(const QString &name)
{
#ifdef Q_OS_UNIX
    bool ok = false;
    const qint64 pid = name.section(QLatin1Char('-'), 1, 1).toLongLong(&ok);
    if (!ok || pid <= 0 || pid == QCoreApplication::applicationPid())
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#else
    Q_UNUSED(name);
    return false;
#endif
}

}  // namespace

EngineMediaDevice::EngineMediaDevice(AudioEngine &engine, const QString &tempFolder)
    : engine_(engine), tempFolder_(tempFolder)
{
}

EngineMediaDevice::~EngineMediaDevice()
{
    // A take nobody saved or closed is not thrown away with the program.
    if (take_ && holdsUnsavedTake())
        take_->leaveFile();
    closeAll();
}

QStringList EngineMediaDevice::recoverLeftovers(const QString &tempFolder, const QString &keepFolder)
{
    // A header that cannot be read in a file this small holds no sound.
    constexpr qint64 kHeaderOnly = 64 * 1024;
    QDir dir(tempFolder);
    QStringList kept;
    const QStringList names = dir.entryList({QString::fromLatin1(kTakePattern)}, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (writerRuns(name))
            continue;
        const QString path = dir.filePath(name);
        const QFileInfo info(path);
        const QDateTime written = info.lastModified();
        QString error;
        const qint64 frames = TakeRepair::fixHeader(path, &error);
        if (frames == 0 || (frames < 0 && info.size() < kHeaderOnly)) {
            dir.remove(name);
            continue;
        }
        if (frames < 0)
            continue;
        const QString keptAs = TakeRepair::keptName(keepFolder, written);
        if (QFile::rename(path, QDir(keepFolder).filePath(keptAs)))
            kept << keptAs;
    }
    return kept;
}

int EngineMediaDevice::fail(int code, const QString &text)
{
    error_ = text;
    return code;
}

void EngineMediaDevice::closeAll()
{
    take_.reset();      // stops and deletes the temporary file
    playback_.reset();  // stops; nothing buffered is heard
    alias_.clear();
}

int EngineMediaDevice::execute(const QString &text, QString *reply)
{
    if (reply)
        reply->clear();
    error_.clear();
    const MediaCommand c = MediaCommand::parse(text);
    if (c.verb == MediaCommand::Verb::Unknown)
        return fail(kUnknownCommand, QStringLiteral("无法识别的命令"));
    if (c.verb == MediaCommand::Verb::Open)
        return open(c.device, c.alias);
    if (alias_.isEmpty() || c.alias.compare(alias_, Qt::CaseInsensitive) != 0)
        return fail(kNotOpen, QStringLiteral("设备没有打开"));

    switch (c.verb) {
    case MediaCommand::Verb::Close:
        closeAll();
        return kOk;
    case MediaCommand::Verb::Record: {
        if (!take_)
            return fail(kNotSupported, QStringLiteral("打开的文件不能录音"));
        QString error;
        if (!take_->start(&error))
            return fail(kFileError, error);
        return kOk;
    }
    case MediaCommand::Verb::Stop:
        if (take_)
            take_->stop();
        if (playback_)
            playback_->stop();
        return kOk;
    case MediaCommand::Verb::Seek:
        // "seek NN to start": playing stops; the next play starts at the beginning.
        if (playback_)
            playback_->stop();
        if (take_)
            take_->stop();
        return kOk;
    case MediaCommand::Verb::Play: {
        if (!playback_)
            return fail(kNotSupported, QStringLiteral("录音不能直接播放，请先保存"));
        const int from = c.words.indexOf(QStringLiteral("from"));
        qint64 fromMs = 0;
        if (from >= 0 && from + 1 < c.words.size())
            fromMs = c.words[from + 1].toLongLong();
        QString error;
        if (!playback_->play(fromMs, &error))
            return fail(kFileError, error);
        return kOk;
    }
    case MediaCommand::Verb::Status:
        return status(c.words, reply);
    case MediaCommand::Verb::Save: {
        if (!take_)
            return fail(kNotSupported, QStringLiteral("没有可保存的录音"));
        if (c.path.isEmpty())
            return fail(kFileError, QStringLiteral("没有给出文件名"));
        QString error;
        if (!take_->saveTo(c.path, &error))
            return fail(kFileError, error);
        return kOk;
    }
    default:
        return fail(kUnknownCommand, QStringLiteral("无法识别的命令"));
    }
}

int EngineMediaDevice::status(const QStringList &words, QString *reply)
{
    QString answer;
    if (words.value(0) == QLatin1String("mode")) {
        answer = QStringLiteral("stopped");
        if (take_ && take_->isRecording()) {
            answer = QStringLiteral("recording");
        } else if (take_ && take_->writeFailed()) {
            // Stopped by itself: the writer is joined and the reason told.
            take_->stop();
            error_ = take_->writeError();
        } else if (playback_ && playback_->isPlaying()) {
            answer = QStringLiteral("playing");
        }
    } else if (words.value(0) == QLatin1String("length")) {
        const qint64 ms = take_ ? take_->framesWritten() * 1000 / engine_.sampleRate()
                                : playback_->fileFrames() * 1000 / qMax(1, playback_->fileRate());
        answer = QString::number(ms);
    } else {
        return fail(kNotSupported, QStringLiteral("不支持的状态项"));
    }
    if (reply)
        *reply = answer;
    return kOk;
}

int EngineMediaDevice::open(const QString &device, const QString &alias)
{
    if (alias.isEmpty() || device.isEmpty())
        return fail(kUnknownCommand, QStringLiteral("命令缺少设备或别名"));
    if (!alias_.isEmpty())
        return fail(kAliasInUse, QStringLiteral("设备已经打开"));
    QString error;
    if (device.compare(QLatin1String("new"), Qt::CaseInsensitive) == 0) {
        if (!QDir().mkpath(tempFolder_))
            return fail(kFileError, QStringLiteral("无法创建录音临时文件夹“%1”").arg(tempFolder_));
        // Never over a take left behind, which the next start keeps.
        QString path;
        do
            path = QDir(tempFolder_).filePath(takeName(++takeCount_));
        while (QFileInfo::exists(path));
        auto take = std::make_unique<TakeRecorder>(engine_);
        if (!take->create(path, &error))
            return fail(kFileError, error);
        take_ = std::move(take);
    } else {
        auto playback = std::make_unique<WavePlayback>(engine_);
        if (!playback->open(device, &error))
            return fail(kFileError, error);
        playback_ = std::move(playback);
    }
    alias_ = alias;
    return kOk;
}

bool EngineMediaDevice::canOpen(const QString &path, QString *why) const
{
    WavePlayback probe(engine_);
    return probe.open(path, why);
}
