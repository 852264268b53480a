#include "recorder/WaveRecorder.h"

#include "platform/media/MediaDevice.h"
#include "platform/media/TakeRepair.h"
#include "platform/dialogs/UserDialogs.h"
#include "recorder/RecorderDisplay.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char *const kKeptNote = ".kept-take";
// So many kept names are listed; more are counted.
constexpr int kNamesShown = 2;

// Paths go to the device in double quotes, so spaces are safe.
QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

QString nameList(const QStringList &names)
{
    QString list = names.mid(0, kNamesShown).join(QLatin1Char('\n'));
    if (names.size() > kNamesShown)
        list += QStringLiteral("\n等共%1个文件").arg(names.size());
    return list;
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

QString WaveRecorder::buttonName(int image)
{
    switch (image) {
    case 0: return QStringLiteral("播放录音");
    case 1: return QStringLiteral("停止放音或录音");
    case 2: return QStringLiteral("录音");
    default: return QString();
    }
}

bool WaveRecorder::hasUnsavedTake() const
{
    return media_.holdsUnsavedTake();
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

// Nothing runs any more; each front end shows it in its own way.
void WaveRecorder::toIdle()
{
    if (isMain()) {
        toStopped();
    } else {
        recording_ = false;
        playing_ = false;
        resetClock();
        deselectOptions();
    }
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
    // Recording again drops this front end's take before; one the other
    // front end left unsaved is kept first.
    const QString kept = keepOthersTake();
    send(QStringLiteral("CLOSE NN"));
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
        toIdle();
        display_.tell(QStringLiteral("无法录音。。。"), QStringLiteral("无法录音：%1。").arg(failure));
        finish();
        return;
    }
    recording_ = true;
    media_.claimTake(ownTag());
    if (isMain()) {
        display_.setXSWB(QStringLiteral("当录音重放出现沙哑杂音失真等情况时请适当调整系统音量中的各音源音量大小！"));
        display_.setFJWZ(QStringLiteral("录音中,请安静。。"));
    }
    // The elapsed time goes on from where it was.
    Lyjsj_.setEnabled(true);
    if (!kept.isEmpty()) {
        if (isMain())
            display_.setXSWB(kept);  // after the hint: where the other take went
        else
            display_.tell(QStringLiteral("上一段录音已保留。。。"), kept);
    }
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

void WaveRecorder::leave()
{
    if (recording_)
        send(QStringLiteral("STOP NN"));
    recording_ = false;
    playing_ = false;
    resetClock();
    emit changed();
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
    // The take (or the file playing) stays until a file was chosen and
    // opens: a cancelled dialog leaves everything as it was.
    const QString path = dialogs_.openFile(filter(), recordFolder_);
    if (path.isEmpty()) {
        if (isMain())
            images_[0] = playing_ ? kPlayDown : kPlayUp;
        else
            deselectOptions();
        finish();
        return;
    }
    QString unplayable;
    if (!media_.canOpen(path, &unplayable)) {
        if (isMain())
            images_[0] = playing_ ? kPlayDown : kPlayUp;
        else
            deselectOptions();
        display_.tell(QStringLiteral("无法播放录音。。。"), QStringLiteral("无法播放：%1。").arg(unplayable));
        finish();
        return;
    }
    send(QStringLiteral("CLOSE NN"));
    recording_ = false;
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
        toIdle();
        const QString name = QFileInfo(path).fileName();
        display_.tell(QStringLiteral("无法播放录音。。。"),
                      failure.contains(name) ? QStringLiteral("无法播放：%1。").arg(failure)
                                             : QStringLiteral("无法播放“%1”：%2。").arg(name, failure));
        finish();
        return;
    }
    playing_ = true;
    minutes_ = 0;
    seconds_ = 0;
    if (isMain()) {
        display_.setXSWB(QStringLiteral("当录音重放无声时请按帮助文档中的方法设置系统音量属性！"));
        display_.setFJWZ(QStringLiteral("正在播放录音。。。"));
    }
    Lyjsj_.setEnabled(true);
    finish();
}

void WaveRecorder::save()
{
    if (!media_.holdsTake()) {
        // Nothing was recorded since the last save, play or start.
        if (!isMain())
            deselectOptions();
        display_.tell(QStringLiteral("没有可保存的录音。。。"),
                      QStringLiteral("没有可保存的录音：请先录音，再保存。"));
        finish();
        return;
    }
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
        // The take stays, to be saved elsewhere; the chosen file is not
        // remembered, so the delete button cannot delete an older file of
        // that name that was left as it was.
        const QString why = reason();
        playing_ = false;
        resetClock();
        if (isMain())
            images_ = {kPlayUp, kStopDown, kRecordUp};
        else
            deselectOptions();
        // A failed save leaves the take in the device as it was.
        display_.tell(QStringLiteral("保存录音失败。。。"),
                      QStringLiteral("保存录音失败：%1。录音仍然保留，可以另存到别处。").arg(why));
        finish();
        return;
    }
    if (isMain())
        display_.setLastFilePath(path);
    send(QStringLiteral("close NN"));
    playing_ = false;
    resetClock();
    if (isMain()) {
        display_.setFJWZ(QStringLiteral("成功保存录音。。。"));
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
    if (open && mode.left(63).left(7) == QLatin1String("stopped") && media_.holdsTake()) {
        // A take is never closed by a clock: the other front end stopped
        // it, or the device did.
        takeStoppedByItself();
        return;
    }
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

// The take stopped while this clock ran. With a reason, a write failed (a
// full disk): the device stopped at once and what it wrote stays.
void WaveRecorder::takeStoppedByItself()
{
    const QString why = media_.errorText();
    toIdle();
    if (why.isEmpty()) {
        if (isMain())
            display_.setFJWZ(QStringLiteral("录音机已停止。。。"));
    } else {
        QString length;
        media_.command(QStringLiteral("status NN length"), &length);
        const qint64 ms = length.toLongLong();
        if (ms > 0) {
            const QString part = ms >= 1000 ? QStringLiteral("%1秒").arg(ms / 1000) : QStringLiteral("不到1秒");
            display_.tell(QStringLiteral("录音写入失败。。。"),
                          QStringLiteral("录音已停止：%1。已录下的%2仍可保存到别的磁盘。").arg(why, part));
        } else {
            // Nothing reached the disk: there is no take to offer.
            send(QStringLiteral("close NN"));
            display_.tell(QStringLiteral("录音写入失败。。。"),
                          QStringLiteral("录音已停止：%1。没有录下声音。").arg(why));
        }
    }
    emit changed();
}

QString WaveRecorder::keptNotePath() const
{
    return QDir(recordFolder_).filePath(QString::fromLatin1(kKeptNote));
}

// Saves the take into the first folder that takes it; the path, or empty
// with the last reason (and the first folder's in firstWhy).
QString WaveRecorder::keepTake(const QStringList &folders, QString *why, QString *firstWhy)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const QString &folder : folders) {
        if (folder.isEmpty() || !QDir().mkpath(folder)) {
            if (!folder.isEmpty())
                *why = QStringLiteral("无法创建文件夹“%1”").arg(folder);
        } else {
            const QString path = QDir(folder).filePath(TakeRepair::keptName(folder, now));
            if (send(QStringLiteral("save NN %1").arg(quoted(path))) == 0)
                return path;
            *why = reason();
        }
        if (firstWhy && firstWhy->isEmpty())
            *firstWhy = *why;
    }
    return QString();
}

QString WaveRecorder::keepOthersTake()
{
    if (!media_.holdsUnsavedTake() || media_.takeOwner() == ownTag())
        return QString();
    send(QStringLiteral("stop NN"));
    QString why = QStringLiteral("设备出错");
    const QString path = keepTake(QStringList{recordFolder_}, &why);
    if (path.isEmpty())
        return QStringLiteral("上一段未保存的录音无法存盘：%1。").arg(why);
    return QStringLiteral("上一段未保存的录音已存入“演奏记录”：%1").arg(QFileInfo(path).fileName());
}

QString WaveRecorder::takeNote() const
{
    // Its own take shows as the front end always shows it.
    if (recording_ || playing_ || !media_.holdsTake() || media_.takeOwner() == ownTag())
        return QString();
    if (media_.recordsTake())
        return QStringLiteral("另一窗口录音中");
    return media_.holdsUnsavedTake() ? QStringLiteral("有未保存录音") : QString();
}

QString WaveRecorder::shutDown(const QStringList &elsewhere)
{
    Lyjsj_.setEnabled(false);
    QString told;
    if (media_.holdsUnsavedTake()) {
        send(QStringLiteral("stop NN"));
        QString why = QStringLiteral("设备出错");
        QString folderWhy;
        const QString path = keepTake(QStringList{recordFolder_} + elsewhere, &why, &folderWhy);
        if (path.isEmpty()) {
            // The device stays open: it leaves the take for the next start.
            return QStringLiteral("未保存的录音无法存盘：%1。下次启动时会再次保存。").arg(why);
        }
        if (QFileInfo(path).absolutePath() == QFileInfo(recordFolder_).absoluteFilePath()) {
            QFile note(keptNotePath());
            if (note.open(QIODevice::WriteOnly | QIODevice::Append))
                note.write(QFileInfo(path).fileName().toUtf8() + '\n');
        } else {
            // The record folder's own reason: a full disk is not "unwritable".
            told = QStringLiteral("未保存的录音无法存入“演奏记录”文件夹（%1），已存为：\n%2")
                       .arg(folderWhy, QDir::toNativeSeparators(path));
        }
    }
    send(QStringLiteral("CLOSE NN"));
    return told;
}

void WaveRecorder::announceKeptTake()
{
    QStringList kept;
    QFile note(keptNotePath());
    if (note.open(QIODevice::ReadOnly)) {
        const QStringList lines = QString::fromUtf8(note.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : lines)
            kept << line.trimmed();
        note.close();
        note.remove();
    }
    QStringList said;
    if (!kept.isEmpty())
        said << QStringLiteral("上次退出时未保存的录音已存入“演奏记录”：\n%1").arg(nameList(kept));
    if (!recovered_.isEmpty())
        said << QStringLiteral("上次程序没有正常结束，录音已找回，存入“演奏记录”：\n%1").arg(nameList(recovered_));
    recovered_.clear();
    if (said.isEmpty())
        return;
    // The names are what the user needs to find the files: told whole in a
    // box, which the information display is too narrow for.
    display_.setFJWZ(QStringLiteral("上次的录音已保留。。。"));
    dialogs_.message(said.join(QStringLiteral("\n\n")));
}
