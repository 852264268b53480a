#include "editor/model/EditFile.h"

#include "editor/model/EditorModel.h"
#include "platform/files/TextFiles.h"

#include <QDir>
#include <QFileInfo>

namespace EditFile {

QString saveFilter() { return QStringLiteral("乐谱编辑|*.lnk"); }
QString openFilter() { return QStringLiteral("编辑记录|*.lnk"); }

QStringList lines(const EditorModel &model)
{
    QStringList out;
    for (int m = 0; m <= model.MeasureTotal; ++m) {
        out << model.MeasureHeaders(m);
        for (int r = 0; r < EditorModel::kRows; ++r)
            out << model.RowTexts(m, r);
    }
    return out;
}

bool compose(const EditorModel &model, QByteArray *bytes, QString *error)
{
    QString text;
    for (const QString &line : lines(model))
        text += line + QStringLiteral("\r\n");
    bool ok = false;
    *bytes = TextFiles::encodeGbk(text, &ok);
    if (!ok)
        *error = QStringLiteral("编辑中有无法用GBK编码保存的字符，请把旋律行中的这些字符删去后再保存。");
    return ok;
}

QStringList splitLines(const QString &text)
{
    QStringList out;
    QString line;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            out << line;
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.isEmpty())
        out << line;
    return out;
}

bool load(const QString &text, EditorModel &model, QString *error)
{
    const QStringList fileLines = splitLines(text);
    const int count = int(fileLines.size());
    if (count > kMaxLines) {
        *error = QStringLiteral("有%1行，而编辑文件最多只能有%2行").arg(count).arg(kMaxLines);
        return false;
    }
    const QString firstMelody = count > 1 ? fileLines[1] : QString();
    if (firstMelody.isEmpty()) {
        *error = QStringLiteral("的第一行旋律（文件第2行）是空的，无法确定每小节的长度");
        return false;
    }
    const int stepCount = int(firstMelody.size()) / 2;
    if (stepCount != 16 && stepCount != 24 && stepCount != 32) {
        *error = QStringLiteral("的第一行旋律（文件第2行）有%1个字符，应为32、48或64个字符（2/4、3/4或4/4拍）")
                     .arg(firstMelody.size());
        return false;
    }
    const int measureTotal = (count - 1) / kLinesPerMeasure;
    if (stepCount * (measureTotal + 1) > EditorModel::kSteps) {
        *error = QStringLiteral("有%1个小节，按这种节奏类型编辑器最多只能容纳%2个小节")
                     .arg(measureTotal + 1)
                     .arg(EditorModel::kSteps / stepCount);
        return false;
    }

    auto line = [&](int i) { return i < count ? fileLines[i] : QString(); };
    model.MeasureTotal = measureTotal;
    model.MeasureLastStep = qint16(stepCount - 1);
    for (int m = 0; m <= measureTotal; ++m) {
        model.setMeasureHeader(m, line(kLinesPerMeasure * m));
        for (int r = 0; r < EditorModel::kRows; ++r)
            model.setRowText(m, r, line(kLinesPerMeasure * m + 1 + r));
    }
    // DKBJ: the cells of every row from the row texts just read.
    for (int i = 0; i <= measureTotal; ++i) {
        for (int j = 0; j < EditorModel::kMelodyRows; ++j) {
            const QString melody = model.RowTexts(i, j);
            const QString drums = model.RowTexts(i, j + EditorModel::kMelodyRows);
            for (int k = 1; k <= stepCount; ++k) {
                const int a = stepCount * i + k - 1;
                model.setStepCell(a, j, melody.size() < 2 * k - 1 ? QStringLiteral("--") : melody.mid(2 * k - 2, 2));
                model.setStepCell(a, j + EditorModel::kMelodyRows, drums.mid(k - 1, 1));
            }
        }
    }
    return true;
}

bool read(const QString &path, EditorModel &model, QString *error)
{
    const QString name = QDir::toNativeSeparators(path);
    QByteArray bytes;
    QString reason;
    if (!TextFiles::readBytes(path, &bytes, &reason, kMaxBytes)) {
        *error = QStringLiteral("无法打开编辑文件：%1").arg(reason);
        return false;
    }
    if (!load(TextFiles::decodeGbk(bytes), model, &reason)) {
        *error = QStringLiteral("编辑文件“%1”%2，不能打开。").arg(name, reason);
        return false;
    }
    return true;
}

}  // namespace EditFile
