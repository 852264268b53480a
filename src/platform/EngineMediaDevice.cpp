#include "platform/EngineMediaDevice.h"

#include "platform/MediaCommand.h"
#include "platform/TakeRecorder.h"
#include "platform/WavePlayback.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

const char *const kTakePattern = "take-*.wav";

QString takeName(int count)
{
    return QStringLiteral("take-%1-%2.wav").arg(QCoreApplication::applicationPid()).arg(count);
}

}  // namespace

EngineMediaDevice::EngineMediaDevice(AudioEngine &engine, const QString &tempFolder)
    : engine_(engine), tempFolder_(tempFolder)
{
}

EngineMediaDevice::~EngineMediaDevice()
{
    closeAll();
}

int EngineMediaDevice::removeLeftovers(const QString &tempFolder)
{
    QDir dir(tempFolder);
    int removed = 0;
    const QStringList names = dir.entryList({QString::fromLatin1(kTakePattern)}, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (dir.remove(name))
            ++removed;
    }
    return removed;
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

int EngineMediaDevice::command(const QString &text, QString *reply)
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
        playback_->play(fromMs);
        return kOk;
    }
    case MediaCommand::Verb::Status: {
        if (c.words.value(0) != QLatin1String("mode"))
            return fail(kNotSupported, QStringLiteral("不支持的状态项"));
        QString mode = QStringLiteral("stopped");
        if (take_ && take_->isRecording())
            mode = QStringLiteral("recording");
        else if (playback_ && playback_->isPlaying())
            mode = QStringLiteral("playing");
        if (reply)
            *reply = mode;
        return kOk;
    }
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
        auto take = std::make_unique<TakeRecorder>(engine_);
        if (!take->create(QDir(tempFolder_).filePath(takeName(++takeCount_)), &error))
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
