#include "editor/model/ScoreImport.h"

#include "editor/model/EditorModel.h"
#include "platform/files/TextFiles.h"
#include "score/ScoreLanguage.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool isCommand(const QString &token)
{
    using namespace ScoreLanguage;
    return token == kTempo || token == kInstruments || token == kEffect || token == kRhythm || token == kChord;
}

bool isPlaced(const QString &token)
{
    return EditorModel::isNoteCell(token) || token == QLatin1String("MA") || token == ScoreLanguage::kRest
           || token == ScoreLanguage::kEnd;
}

}  // namespace

namespace ScoreImport {

QString filter() { return QStringLiteral("编辑记录txt|*.txt"); }

QString refusal(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();  // readText says why
    const QByteArray head = file.read(12);
    const bool midi = head.startsWith("MThd") || (head.startsWith("RIFF") && head.mid(8, 4) == "RMID");
    if (!midi)
        return QString();
    return QStringLiteral("“%1”是MIDI歌曲，不是乐谱文件，没有导入。\n"
                          "MIDI歌曲请在主窗口用“打开”读入，保存为乐谱后再导入。")
        .arg(QFileInfo(path).fileName());
}

bool readText(const QString &path, QString *text, QString *error)
{
    QByteArray bytes;
    QString reason;
    if (!TextFiles::readBytes(path, &bytes, &reason, kMaxBytes)) {
        *error = QStringLiteral("无法导入乐谱：%1").arg(reason);
        return false;
    }
    // Line ends of any kind are dropped: a note and its duration may stand
    // on two lines.
    QString t = TextFiles::decodeGbk(bytes);
    t.remove(QLatin1Char('\r'));
    t.remove(QLatin1Char('\n'));
    *text = t;
    return true;
}

Scan YUEPUSB(const QString &text, EditorModel &model)
{
    Scan scan;
    const int n = int(text.size());
    const int capacity = (model.lastUsableMeasure() + 1) * model.StepCount();
    int pos = 1;  // 1-based
    int step = 0;
    while (pos < n) {
        const QString token = text.mid(pos - 1, 2);
        if (pos < n - 1) {
            const QChar d1 = text[pos + 1];
            if (isDigit(d1)) {
                pos += 2;
                if (pos + 1 <= n && isDigit(text[pos])) {
                    model.ImportDuration = (d1.unicode() - '0') * 10 + (text[pos].unicode() - '0');
                    pos += 1;
                } else {
                    model.ImportDuration = d1.unicode() - '0';
                }
            } else {
                pos += 1;
            }
        }
        if (isCommand(token)) {
            pos += 1;
            continue;
        }
        if (step >= capacity) {
            // The tables are full: a note or rest here is lost, and the
            // import ends; an end mark or stray text loses nothing.
            if (token == ScoreLanguage::kEnd)
                break;
            if (isPlaced(token)) {
                scan.cut = true;
                break;
            }
            pos += 1;
            continue;
        }
        const QString cell = isPlaced(token) ? token : QStringLiteral("--");
        model.setStepCell(step, 0, cell);
        model.setStepCell(step, 1, cell);
        pos += 1;
        if (isPlaced(token)) {
            step += model.ImportDuration / 2;
            if (token == ScoreLanguage::kEnd)
                break;
        }
    }
    scan.steps = step;
    const int last = model.lastUsableMeasure();
    model.MeasureTotal = scan.cut ? last : qMin(step / model.StepCount(), last);
    model.CurrentMeasure = 0;
    return scan;
}

void DrYpsb(EditorModel &model)
{
    for (int j = 0; j <= model.MeasureTotal; ++j) {
        for (int s = 0; s < model.StepCount(); ++s) {
            const int a = model.firstStep(j) + s;
            for (int r = 0; r < 2; ++r) {
                if (model.StepCells(a, r).isEmpty())
                    model.setStepCell(a, r, QStringLiteral("--"));
            }
        }
        for (int r = 0; r < EditorModel::kMelodyRows; ++r)
            model.setRowText(j, r, model.joinedRow(j, r));
    }
}

QString cutMessage(const EditorModel &model)
{
    return QStringLiteral("乐谱太长：按当前的节奏类型，编辑器最多只能容纳%1个小节，只导入了前%1个小节。")
        .arg(model.lastUsableMeasure() + 1);
}

}  // namespace ScoreImport
