#include "editor/model/EditorModel.h"

#include <QHash>

namespace {

bool validMeasure(int m) { return m >= 0 && m < EditorModel::kMeasures; }
bool validStep(int s) { return s >= 0 && s < EditorModel::kSteps; }
bool validColumn(int c) { return c >= 0 && c < EditorModel::kColumns; }

const QHash<QString, qint16> &noteTable()
{
    static const QHash<QString, qint16> table = [] {
        QHash<QString, qint16> t;
        const QString octaves = QStringLiteral("LWKHM");
        const QString letters = QStringLiteral("CDEFGAB");
        const int semitones[7] = {0, 2, 4, 5, 7, 9, 11};
        for (int o = 0; o < octaves.size(); ++o) {
            for (int n = 0; n < letters.size(); ++n) {
                if (o == 4 && n >= 5)
                    break;  // MA and MB are not notes of the editor
                t.insert(QString(octaves[o]) + letters[n], qint16(12 * o + semitones[n]));
            }
        }
        return t;
    }();
    return table;
}

}  // namespace

EditorModel::EditorModel()
    : rowTexts_(size_t(kMeasures * kColumns)),
      stepCells_(size_t(kSteps * kColumns)),
      noteCodes_(size_t(kSteps * kColumns), kNoCode),
      headers_(size_t(kSteps))
{
    RowVolumes.fill(70);
}

int EditorModel::cellIndex(int step, int row) { return step * kColumns + row; }

QString EditorModel::RowTexts(int measure, int row) const
{
    if (!validMeasure(measure) || !validColumn(row))
        return QString();
    return rowTexts_[size_t(measure * kColumns + row)];
}

void EditorModel::setRowText(int measure, int row, const QString &text)
{
    if (validMeasure(measure) && validColumn(row))
        rowTexts_[size_t(measure * kColumns + row)] = text;
}

QString EditorModel::StepCells(int step, int row) const
{
    if (!validStep(step) || !validColumn(row))
        return QString();
    return stepCells_[size_t(cellIndex(step, row))];
}

void EditorModel::setStepCell(int step, int row, const QString &text)
{
    if (validStep(step) && validColumn(row))
        stepCells_[size_t(cellIndex(step, row))] = text;
}

qint16 EditorModel::NoteCodes(int step, int row) const
{
    if (!validStep(step) || !validColumn(row))
        return kNoCode;
    return noteCodes_[size_t(cellIndex(step, row))];
}

void EditorModel::setNoteCode(int step, int row, qint16 code)
{
    if (validStep(step) && validColumn(row))
        noteCodes_[size_t(cellIndex(step, row))] = code;
}

QString EditorModel::MeasureHeaders(int measure) const
{
    if (!validMeasure(measure))
        return QString();
    return headers_[size_t(measure)];
}

void EditorModel::setMeasureHeader(int measure, const QString &header)
{
    if (validMeasure(measure))
        headers_[size_t(measure)] = header;
}

int EditorModel::lastUsableMeasure() const
{
    const int count = qMax(1, StepCount());
    return qMin(kSteps / count, kMeasures) - 1;
}

qint16 EditorModel::SYYPSB(const QString &cell)
{
    if (cell == QLatin1String("XZ"))
        return kRest;
    return noteTable().value(cell, kNoCode);
}

bool EditorModel::isNoteCell(const QString &cell) { return noteTable().contains(cell); }

QString EditorModel::SplitRowText(int row, const QString &text)
{
    const int m = CurrentMeasure;
    setRowText(m, row, QString());
    QString upper = text.toUpper();
    const int width = 2 * StepCount();
    if (upper.size() < width)
        upper += QString(width - upper.size(), QLatin1Char('-'));
    setRowText(m, row, upper);
    for (int k = 1; k <= StepCount(); ++k)
        setStepCell(firstStep(m) + k - 1, row, upper.mid(2 * k - 2, 2));
    return upper;
}

void EditorModel::SetBeat(int row, int step, bool hit)
{
    const int m = CurrentMeasure;
    if (step < 0 || step > MeasureLastStep)
        return;
    setRowText(m, row, QString());
    setStepCell(firstStep(m) + step, row, hit ? QStringLiteral("O") : QStringLiteral("-"));
    for (int s = 0; s < StepCount(); ++s) {
        if (StepCells(firstStep(m) + s, row).isEmpty())
            setStepCell(firstStep(m) + s, row, QStringLiteral("-"));
    }
    setRowText(m, row, joinedRow(m, row));
}

void EditorModel::MeasureRowsClear(int measure)
{
    for (int r = 0; r < kRows; ++r)
        setRowText(measure, r, QString());
}

void EditorModel::ClearEdit()
{
    const int last = qBound(0, int(MeasureTotal), kMeasures - 1);
    for (int m = 0; m <= last; ++m) {
        for (int s = 0; s < StepCount(); ++s) {
            const int a = firstStep(m) + s;
            for (int r = 0; r < kRows; ++r)
                setStepCell(a, r, QString());
            for (int r = 0; r < kMelodyRows; ++r)
                setNoteCode(a, r, kNoCode);
        }
        MeasureRowsClear(m);
        setMeasureHeader(m, QString());
    }
    MeasureTotal = 0;
}

QString EditorModel::joinedRow(int measure, int row) const
{
    QString text;
    for (int s = 0; s < StepCount(); ++s)
        text += StepCells(firstStep(measure) + s, row);
    return text;
}

QString EditorModel::rowTextFromCells(int measure, int row) const
{
    const int width = row < kMelodyRows ? 2 : 1;
    QString text;
    bool any = false;
    for (int s = 0; s < StepCount(); ++s) {
        const QString cell = StepCells(firstStep(measure) + s, row);
        any = any || !cell.isEmpty();
        text += cell.left(width).leftJustified(width, QLatin1Char('-'));
    }
    return any ? text : QString();
}

void EditorModel::resliceRowTexts(int first)
{
    for (int m = qMax(0, first); m <= lastUsableMeasure(); ++m) {
        for (int r = 0; r < kRows; ++r)
            setRowText(m, r, rowTextFromCells(m, r));
    }
}

void EditorModel::JoinRows()
{
    const int last = qBound(0, int(MeasureTotal), kMeasures - 1);
    for (int m = 0; m <= last; ++m) {
        for (int s = 0; s < StepCount(); ++s) {
            const int a = firstStep(m) + s;
            for (int r = 0; r < kRows; ++r) {
                // Plain character-code order: the empty text, "-", "0-" ... all
                // sort before "1".
                if (StepCells(a, r) < QLatin1String("1"))
                    setStepCell(a, r, r < kMelodyRows ? QStringLiteral("--") : QStringLiteral("-"));
            }
        }
        for (int r = 0; r < kRows; ++r)
            setRowText(m, r, joinedRow(m, r));
        if (MeasureHeaders(m).size() < 5)
            setMeasureHeader(m, QStringLiteral("%1").arg(m, 4, 10, QLatin1Char('0')));
    }
}

void EditorModel::clearCells(int fromRow, int toRow, int lastMeasure)
{
    for (int m = 0; m <= lastMeasure; ++m) {
        for (int s = 0; s < StepCount(); ++s) {
            for (int r = fromRow; r <= toRow; ++r)
                setStepCell(firstStep(m) + s, r, QString());
        }
    }
}
