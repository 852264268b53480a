#include "score/ScoreFiles.h"

#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "platform/files/RecordFolder.h"
#include "platform/files/TextFiles.h"
#include "platform/dialogs/UserDialogs.h"
#include "score/ScoreReader.h"
#include "score/ScorePlayer.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Far more than the longest playable score with a line break after every
// token; anything larger is refused before it is read.
constexpr qint64 kMaxScoreFileBytes = 1024 * 1024;

}  // namespace

ScoreFiles::ScoreFiles(Session &ctx, WindowDisplay &display, ScorePlayer &player, QObject *parent)
    : QObject(parent), ctx_(ctx), display_(display), player_(player)
{
}

QString ScoreFiles::filter()
{
    return QStringLiteral("乐谱记录txt|*.txt");
}

void ScoreFiles::emptyScore()
{
    ctx_.state.ScoreText.clear();
    display_.setText3(QString());
}

bool ScoreFiles::readScore(const QString &path, QString *score, QString *error)
{
    const QFileInfo info(path);
    if (info.isFile() && info.size() > kMaxScoreFileBytes) {
        *error = ScoreReader::tooLongMessage();
        return false;
    }
    QByteArray bytes;
    QString reason;
    if (!TextFiles::readBytes(path, &bytes, &reason)) {
        *error = QStringLiteral("无法打开乐谱文件。\n%1\n请检查文件是否存在、是否可以读取。").arg(reason);
        return false;
    }
    // A byte that is no GBK text reads as one replacement character: an
    // unknown token if playing ever reaches it, harmless otherwise.
    const QString text = TextFiles::joinLines(TextFiles::decodeGbk(bytes));
    // A score too long to play is still read, so that it can be shortened:
    // only playing it refuses it.
    *score = text;
    return true;
}

bool ScoreFiles::scoreBytes(const QString &score, QByteArray *bytes)
{
    bool ok = false;
    *bytes = TextFiles::encodeGbk(score + QStringLiteral("\r\n"), &ok);
    return ok;
}

void ScoreFiles::openClicked()
{
    stopPlaying();
    emptyScore();

    const QString filters = other_.filter.isEmpty() ? filter() : filter() + QLatin1Char('|') + other_.filter;
    const QString path = ctx_.dialogs.openFile(filters, ctx_.recordFolder);
    if (path.isEmpty())
        return;
    readAndPlay(path);
}

void ScoreFiles::openPath(const QString &path)
{
    stopPlaying();
    emptyScore();
    readAndPlay(path);
}

void ScoreFiles::readAndPlay(const QString &path)
{
    if (other_.accepts && other_.accepts(path)) {
        other_.open(path);
        return;
    }
    display_.LastFilePath = path;

    QString score;
    QString error;
    if (!readScore(path, &score, &error)) {
        ctx_.dialogs.message(error);
        return;
    }
    ctx_.state.ScoreText = score;
    display_.setText3(score);
    display_.markText3Kept();
    player_.startFromFile();
}

void ScoreFiles::stopPlaying()
{
    player_.stopClock();
    player_.SilenceScoreNotes();
    // The play button still reads "停止" until pressed, but nothing plays now.
    if (player_.ScorePlaying())
        display_.setFJWZ(ScorePlayer::endedStatus());
}

void ScoreFiles::saveClicked()
{
    stopPlaying();
    ctx_.state.ScoreText = display_.Text3();

    const QString path = ctx_.dialogs.saveFile(filter(), ctx_.recordFolder, true);
    if (path.isEmpty())
        return;
    display_.LastFilePath = path;
    const QString score = ctx_.state.ScoreText;
    if (score.isEmpty())
        return;

    QByteArray bytes;
    if (!scoreBytes(score, &bytes)) {
        // Written as GBK these characters would turn into '?': nothing is saved.
        ctx_.dialogs.message(QStringLiteral(
            "乐谱中有无法保存为GBK文本的字符，乐谱没有保存。\n请删除这些字符（乐谱只需要字母和数字）后再保存。"));
        return;
    }
    QString reason;
    if (!TextFiles::writeBytes(path, bytes, &reason)) {
        ctx_.dialogs.message(QStringLiteral("保存乐谱失败，原有的文件没有改动。\n%1\n"
                                            "请检查文件是否只读、磁盘是否已满，或换一个文件名再保存。")
                                 .arg(reason));
        return;
    }
    if (display_.Text3() == score)
        display_.markText3Kept();
    player_.clearScorePlaying();
    player_.showIdleCaption();
    display_.setFJWZ(QStringLiteral("成功保存乐谱。。。"));
}

QString ScoreFiles::keepUnsaved(const QString &score)
{
    QByteArray bytes;
    QString reason = QStringLiteral("乐谱中有无法保存为GBK文本的字符");
    if (scoreBytes(score, &bytes)) {
        const QString path = RecordFolder::keepWork(ctx_.recordFolder, QStringLiteral("乐谱"), QStringLiteral("txt"),
                                                    bytes, &reason);
        if (!path.isEmpty())
            return QStringLiteral("未保存的乐谱已存入“演奏记录”：%1").arg(QFileInfo(path).fileName());
    }
    return QStringLiteral("未保存的乐谱无法存盘：%1").arg(reason);
}

void ScoreFiles::clearClicked()
{
    emptyScore();
    emit choiceMade();
    display_.setFJWZ(QStringLiteral("成功清空乐谱。。。"));
}

void ScoreFiles::deleteClicked()
{
    const QString path = display_.LastFilePath;
    if (path.isEmpty()) {
        ctx_.dialogs.message(QStringLiteral(
            "还没有打开或保存过文件，没有可以删除的文件。\n请先用“打开”或“保存”选择一个文件。"));
        return;
    }
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        ctx_.dialogs.message(
            QStringLiteral("找不到要删除的文件“%1”，它可能已经被删除或移走了。").arg(path));
        return;
    }
    if (info.isDir()) {
        ctx_.dialogs.message(QStringLiteral("“%1”是一个文件夹，不能在这里删除。").arg(path));
        return;
    }
    QFile file(path);
    if (!file.remove()) {
        ctx_.dialogs.message(QStringLiteral("无法删除文件“%1”：%2\n请检查文件是否正在使用或是只读的。")
                                 .arg(path, file.errorString()));
        return;
    }
    emptyScore();
    display_.setFJWZ(QStringLiteral("成功删除文件。。。"));
}
