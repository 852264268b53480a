#include "recorder/WaveRecorder.h"

#include "platform/MediaDevice.h"
#include "platform/UserDialogs.h"
#include "recorder/RecorderDisplay.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char *const kKeptNote = ".kept-take";

// Paths go to the device in double quotes, so spaces are safe.
QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

}  // namespace

WaveRecorder::WaveRecorder(FrontEnd frontEnd, MediaDevice &media, RecorderDisplay &display, UserDialogs &dialogs,
                           Clock &clock, const QString &recordFolder, QObject *parent)
    : QObject(parent),
      frontEnd_(frontEnd),
      media_(media),
      display_(display),
      dialogs_(dialogs),
      recordFolder_(recordFolder),
      Lyjsj_(clock, QStringLiteral("Lyjsj"), 1000, this)
{
    Lyjsj_.onTick = [this] { onLyjsjTick(); };
    elapsed_ = isMain() ? QStringLiteral("00:00") : QStringLiteral("当前:");
}

QString WaveRecorder::toolTip(int image)
{
    switch (image) {
    case 0: return QStringLiteral("打开并播放演奏的录音！");
    case 1: return QStringLiteral("停止当前的放音或录音！");
    case 2: return QStringLiteral("开始录制演奏或自动演奏的音乐为wav格式音频！");
    default: return QString();
    }
}

int WaveRecorder::send(const QString &command)
{
    return media_.command(command);
}

QString WaveRecorder::reason() const
{
    const QString text = media_.errorText();
    return text.isEmpty() ? QStringLiteral("设备出错") : text;
}

QString WaveRecorder::elapsedLabel() const
{
    const QString time = QStringLiteral("%1:%2").arg(minutes_).arg(seconds_);
    return isMain() ? time : QStringLiteral("当前: ") + time;
}

QString WaveRecorder::idleLabel() const
{
    return isMain() ? QStringLiteral("00:00") : QStringLiteral("当前: 00:00");
}

void WaveRecorder::resetClock()
{
    Lyjsj_.setEnabled(false);
    minutes_ = 0;
    seconds_ = 0;
    elapsed_ = idleLabel();
}

void WaveRecorder::deselectOptions()
{
    if (selected_ == 0 || selected_ == 2 || selected_ == 3)
        selected_ = -1;
}

void WaveRecorder::finish()
{
    emit changed();
    emit choiceMade();
}

// What stop shows: the stop image pressed, the others released, the clock at 00:00.
void WaveRecorder::toStopped()
{
    images_ = {kPlayUp, kStopDown, kRecordUp};
    recording_ = false;
    playing_ = false;
    resetClock();
}

void WaveRecorder::Image1Clicked(int index)
{
    switch (index) {
    case 0: play(); break;
    case 1: stop(); break;
    case 2: record(); break;
    default: break;
    }
}

void WaveRecorder::LUYINJIClicked(int index)
{
    if (index < 0 || index > 3)
        return;
    selected_ = index;
    switch (index) {
    case 0: play(); break;
    case 1: stop(); break;
    case 2: record(); break;
    default: save(); break;
    }
}

void WaveRecorder::record()
{
    if (isMain() && playing_) {
        images_[2] = kRecordUp;
        finish();
        return;
    }
    if (isMain()) {
        images_[2] = kRecordDown;
        images_[1] = kStopUp;
    }
    send(QStringLiteral("CLOSE NN"));
    takeUnsaved_ = false;
    playing_ = false;
    QString failure;
    if (send(QStringLiteral("OPEN NEW TYPE WaveAudio ALIAS NN")) != 0) {
        failure = reason();
    } else if (send(QStringLiteral("RECORD NN")) != 0) {
        failure = reason();
        send(QStringLiteral("CLOSE NN"));
    }
    if (!failure.isEmpty()) {
        // Nothing records: say why; back to the stopped state, nothing to save.
        toStopped();
        bcLYEnabled_ = false;
        deselectOptions();
        display_.setFJWZ(QStringLiteral("无法录音：%1。。。").arg(failure));
        finish();
        return;
    }
    takeUnsaved_ = true;
    recording_ = true;
    if (isMain()) {
        display_.setXSWB(QStringLiteral("当录音重放出现沙哑杂音失真等情况时请适当调整系统音量中的各音源音量大小！"));
        display_.setFJWZ(QStringLiteral("录音中,请安静。。"));
        bcLYEnabled_ = true;
    }
    // The elapsed time goes on from where it was.
    Lyjsj_.setEnabled(true);
    finish();
}

void WaveRecorder::stop()
{
    send(QStringLiteral("STOP NN"));
    if (isMain()) {
        toStopped();
        display_.setFJWZ(QStringLiteral("录音机已停止。。。"));
    } else {
        recording_ = false;
        playing_ = false;
        resetClock();
    }
    finish();
}

void WaveRecorder::play()
{
    if (isMain() && recording_) {
        images_[0] = kPlayUp;
        finish();
        return;
    }
    if (isMain()) {
        images_[0] = kPlayDown;
        images_[1] = kStopUp;
    }
    send(QStringLiteral("CLOSE NN"));
    takeUnsaved_ = false;
    recording_ = false;
    const QString path = dialogs_.openFile(filter(), recordFolder_);
    if (path.isEmpty()) {
        // Cancelled (the dialog reports it as an error, which ends the
        // operation). "CLOSE NN" has ended whatever the alias held, so the
        // clock stops and there is no take left to save.
        if (isMain())
            images_[0] = kPlayUp;
        else
            deselectOptions();
        playing_ = false;
        bcLYEnabled_ = false;
        resetClock();
        finish();
        return;
    }
    if (isMain())
        display_.setLastFilePath(path);

    QString failure;
    if (send(QStringLiteral("OPEN %1 TYPE WaveAudio ALIAS NN").arg(quoted(path))) != 0) {
        failure = reason();
    } else {
        send(QStringLiteral("seek NN to start"));
        if (send(QStringLiteral("PLAY NN FROM 0")) != 0) {
            failure = reason();
            send(QStringLiteral("close NN"));
        } else {
            send(QStringLiteral("CLOSE ANIMATION"));
        }
    }
    if (!failure.isEmpty()) {
        // A file that cannot be played: say so and stop, rather than let
        // the clock wait for an end that never comes.
        toStopped();
        bcLYEnabled_ = false;
        deselectOptions();
        display_.setFJWZ(QStringLiteral("无法播放“%1”：%2。。。").arg(QFileInfo(path).fileName(), failure));
        finish();
        return;
    }
    playing_ = true;
    minutes_ = 0;
    seconds_ = 0;
    if (isMain()) {
        display_.setXSWB(QStringLiteral("当录音重放无声时请按帮助文档中的方法设置系统音量属性！"));
        display_.setFJWZ(QStringLiteral("正在播放录音。。。"));
        bcLYEnabled_ = false;
    }
    Lyjsj_.setEnabled(true);
    finish();
}

void WaveRecorder::save()
{
    const QString path = dialogs_.saveFile(filter(), recordFolder_, true);
    if (path.isEmpty()) {
        // A running recording goes on.
        if (isMain())
            display_.setFJWZ(QStringLiteral("没有保存录音。。。"));
        else
            deselectOptions();
        finish();
        return;
    }
    send(QStringLiteral("stop NN"));
    recording_ = false;
    if (send(QStringLiteral("save NN %1").arg(quoted(path))) != 0) {
        // The take stays open and unsaved, to be saved elsewhere; the chosen
        // file is not remembered, so the delete button cannot delete an
        // older file of that name that was left as it was.
        const QString why = reason();
        playing_ = false;
        resetClock();
        if (isMain())
            images_ = {kPlayUp, kStopDown, kRecordUp};
        else
            deselectOptions();
        display_.setFJWZ(QStringLiteral("保存录音失败：%1。录音仍然保留，可以另存。。。").arg(why));
        finish();
        return;
    }
    if (isMain())
        display_.setLastFilePath(path);
    send(QStringLiteral("close NN"));
    takeUnsaved_ = false;
    playing_ = false;
    resetClock();
    if (isMain()) {
        display_.setFJWZ(QStringLiteral("成功保存录音。。。"));
        bcLYEnabled_ = false;
        images_[0] = kPlayUp;
        images_[2] = kRecordUp;
    } else {
        deselectOptions();
    }
    finish();
}

void WaveRecorder::onLyjsjTick()
{
    // The label shows the time before this second is counted: 0:0 after
    // one second.
    elapsed_ = elapsedLabel();
    QString mode;
    // An alias that is no longer open has stopped as well: the clock must
    // not wait for an answer that never comes.
    const bool open = media_.command(QStringLiteral("status NN mode"), &mode) == 0;
    if (!open || mode.left(63).left(7) == QLatin1String("stopped")) {
        send(QStringLiteral("STOP NN"));
        send(QStringLiteral("Close NN"));
        if (isMain()) {
            toStopped();
            display_.setFJWZ(QStringLiteral("录音机已停止。。。"));
        } else {
            recording_ = false;
            playing_ = false;
            resetClock();
            if (selected_ == 0)
                selected_ = -1;
        }
        takeUnsaved_ = false;
        emit changed();
        return;
    }
    if (seconds_ == 59) {
        seconds_ = 0;
        ++minutes_;
    } else {
        ++seconds_;
    }
    emit changed();
}

QString WaveRecorder::keptNotePath() const
{
    return QDir(recordFolder_).filePath(QString::fromLatin1(kKeptNote));
}

void WaveRecorder::shutDown()
{
    Lyjsj_.setEnabled(false);
    if (takeUnsaved_ && !recordFolder_.isEmpty()) {
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        QDir folder(recordFolder_);
        QString name = QStringLiteral("录音-%1.wav").arg(stamp);
        for (int n = 2; folder.exists(name); ++n)
            name = QStringLiteral("录音-%1-%2.wav").arg(stamp).arg(n);
        send(QStringLiteral("stop NN"));
        if (send(QStringLiteral("save NN %1").arg(quoted(folder.filePath(name)))) == 0) {
            takeUnsaved_ = false;
            QFile note(keptNotePath());
            if (note.open(QIODevice::WriteOnly | QIODevice::Truncate))
                note.write(name.toUtf8());
        }
    }
    send(QStringLiteral("CLOSE NN"));
}

void WaveRecorder::announceKeptTake()
{
    QFile note(keptNotePath());
    if (!note.open(QIODevice::ReadOnly))
        return;
    const QString name = QString::fromUtf8(note.readAll()).trimmed();
    note.close();
    note.remove();
    if (!name.isEmpty())
        display_.setFJWZ(QStringLiteral("上次退出时未保存的录音已存为“%1”。。。").arg(name));
}
