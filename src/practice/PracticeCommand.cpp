#include "practice/PracticeCommand.h"

#include "practice/PracticeGrading.h"
#include "practice/PracticeScore.h"
#include "practice/PracticeTake.h"

#include <QTextStream>

namespace PracticeCommand {

namespace {

const QString kPractice = QStringLiteral("--practice");
const QString kPlayed = QStringLiteral("--played");
const QString kMode = QStringLiteral("--mode");
const QString kSpeed = QStringLiteral("--speed");

int fail(QTextStream &err, const QString &text)
{
    err << QStringLiteral("dzq: ") << text << Qt::endl;
    return kBadInput;
}

}  // namespace

bool requested(const QStringList &arguments)
{
    return arguments.mid(1).contains(kPlayed);
}

bool parseSpeed(const QString &text, int *speed)
{
    QString digits = text.trimmed();
    if (digits.endsWith(QLatin1Char('%')))
        digits.chop(1);
    bool ok = false;
    const int value = digits.toInt(&ok);
    if (!ok || value < Practice::kMinSpeed || value > Practice::kMaxSpeed)
        return false;
    *speed = value;
    return true;
}

int run(const QStringList &arguments, const QString &recordFolder, QTextStream &out, QTextStream &err)
{
    QString scorePath;
    QString takePath;
    QString modeText;
    QString speedText;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        QString *target = a == kPractice ? &scorePath
                          : a == kPlayed ? &takePath
                          : a == kMode   ? &modeText
                          : a == kSpeed  ? &speedText
                                         : nullptr;
        if (!target)
            return fail(err, QStringLiteral("无法识别的参数“%1”。用法：dzq --practice 乐谱文件 --played 演奏.mid "
                                            "[--mode wait|step|tempo] [--speed 50…150]").arg(a));
        if (!target->isEmpty())
            return fail(err, QStringLiteral("参数“%1”只能给出一次。").arg(a));
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
            return fail(err, QStringLiteral("参数“%1”后面缺少%2。")
                                 .arg(a, target == &modeText    ? QStringLiteral("练习方式（wait、step 或 tempo）")
                                         : target == &speedText ? QStringLiteral("速度（50到150）")
                                                                : QStringLiteral("文件名")));
        *target = arguments[++i];
    }
    if (scorePath.isEmpty())
        return fail(err, QStringLiteral("缺少要练习的乐谱（--practice 乐谱文件）。"));
    Practice::Mode mode = Practice::Mode::Wait;
    if (!modeText.isEmpty() && !Practice::modeFromName(modeText, &mode))
        return fail(err, QStringLiteral("练习方式“%1”无法识别，只能是 wait（等待）、step（逐音）或 tempo（跟节奏）。").arg(modeText));
    int speed = Practice::kNormalSpeed;
    if (!speedText.isEmpty() && !parseSpeed(speedText, &speed))
        return fail(err, QStringLiteral("速度“%1”超出范围，只能是50到150（乐谱速度的百分数）。").arg(speedText));

    const Practice::ScoreFile score = Practice::readScoreFile(scorePath);
    if (!score.ok)
        return fail(err, score.error);
    const Practice::Take take = Practice::readTake(takePath);
    if (!take.ok)
        return fail(err, take.error);
    ScoreRender::Start start;
    start.keyPosition = score.keyPosition;
    const Practice::Prepared prepared = Practice::prepare(score.text, recordFolder, start);
    if (!prepared.practisable())
        return fail(err, QStringLiteral("乐谱文件“%1”无法练习：%2").arg(score.name, prepared.emptyReason()));
    for (const QString &warning : take.warnings)
        err << QStringLiteral("dzq: ") << warning << Qt::endl;
    if (!prepared.partNotice().isEmpty())
        err << QStringLiteral("dzq: ") << prepared.partNotice() << Qt::endl;

    const Practice::Result result =
        Practice::grade(mode, speed, Practice::atSpeed(prepared.notes, speed), take.notes);
    out << Practice::toJson(result) << Qt::endl;
    return 0;
}

}  // namespace PracticeCommand
