#include "app/RenderCommand.h"

#include "app/ConsoleNotifier.h"
#include "app/ScoreExport.h"
#include "platform/TextFiles.h"
#include "score/ScoreFiles.h"

#include <QDir>
#include <QTextStream>

namespace {

const QString kRender = QStringLiteral("--render");
const QString kOutput = QStringLiteral("-o");
const QString kOutputLong = QStringLiteral("--output");

int fail(QTextStream &err, const QString &text, bool withUsage = false)
{
    err << text << Qt::endl;
    if (withUsage)
        err << RenderCommand::usage() << Qt::endl;
    return ScoreExport::Failed;
}

}  // namespace

QString RenderCommand::usage()
{
    return QStringLiteral("用法: dzq --render 乐谱文件.txt -o 输出文件.mid|输出文件.wav");
}

bool RenderCommand::requested(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == kRender || a == kOutput || a == kOutputLong)
            return true;
    }
    return false;
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
                       QTextStream &err)
{
    QString scorePath;
    QString outputPath;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        QString *target = nullptr;
        if (a == kRender)
            target = &scorePath;
        else if (a == kOutput || a == kOutputLong)
            target = &outputPath;
        else
            return fail(err, QStringLiteral("无法识别的参数“%1”。").arg(a), true);
        if (!target->isEmpty())
            return fail(err, QStringLiteral("参数“%1”只能给出一次。").arg(a), true);
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
            return fail(err, QStringLiteral("参数“%1”后面缺少文件名。").arg(a), true);
        *target = arguments[++i];
    }
    if (scorePath.isEmpty())
        return fail(err, QStringLiteral("缺少要导出的乐谱文件（--render 乐谱文件.txt）。"), true);
    if (outputPath.isEmpty())
        return fail(err, QStringLiteral("缺少输出文件（-o 输出文件.mid 或 .wav）。"), true);

    const ScoreExport::Kind kind = ScoreExport::kindOf(outputPath);
    if (kind == ScoreExport::Kind::Unknown)
        return fail(err, QStringLiteral("不支持输出文件“%1”的类型。请使用扩展名 .mid（MIDI文件）或 .wav（WAV录音）。")
                             .arg(QDir::toNativeSeparators(outputPath)));

    QString score;
    QString error;
    if (!ScoreFiles::readScore(scorePath, &score, &error))
        return fail(err, QStringLiteral("乐谱文件“%1”：%2").arg(QDir::toNativeSeparators(scorePath), error));

    ConsoleNotifier notices(err);
    const ScoreExport::Result result = ScoreExport::exportScore(score, outputPath, kind, recordFolder, notices);
    const QString output = QDir::toNativeSeparators(outputPath);
    if (result.status == ScoreExport::Failed)
        return fail(err, result.message);

    if (result.status == ScoreExport::ScoreError) {
        err << result.message;
        // In a file of several lines, say where the token stands in the file too.
        QByteArray bytes;
        QString reason;
        int line = 0;
        int column = 0;
        if (TextFiles::readBytes(scorePath, &bytes, &reason)
            && lineAndColumn(TextFiles::decodeGbk(bytes), result.performance.errorPosition, &line, &column)
            && line > 1)
            err << QStringLiteral("（文件第%1行第%2列）").arg(line).arg(column);
        err << Qt::endl
            << QStringLiteral("出错之前演奏的部分已导出到“%1”。").arg(output) << Qt::endl;
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
