#include "RhythmTests.h"

#include <QFile>

QString patternSnapshot(const RhythmPattern &pattern, const SharedState &state)
{
    QString s = QStringLiteral("v%1 t%2 l%3 |").arg(pattern.VolumeIndex()).arg(pattern.TimeSignature())
                    .arg(pattern.LastStep());
    for (int r = 0; r < RhythmPattern::kRows; ++r) {
        s += QStringLiteral(" i%1 ").arg(pattern.Instrument(r));
        for (int i = 0; i < RhythmPattern::kCellsPerRow; ++i)
            s += pattern.Cells(r, i) ? QLatin1Char('*') : QLatin1Char('-');
    }
    s += QStringLiteral(" |");
    for (int i = 0; i < RhythmPattern::kCellsPerRow; ++i)
        s += QString::number(int(pattern.cellColour(i))) + (pattern.isCellVisible(i) ? "" : "h");
    for (int step = 0; step < RhythmPattern::kCellsPerRow; ++step) {
        for (int c = 0; c < 5; ++c) {
            const StepCell &cell = state.Steps.cell(step, c);
            s += QStringLiteral(" %1/%2/%3/%4").arg(cell.Sounding).arg(cell.Note).arg(cell.Velocity)
                     .arg(cell.Message, 0, 16);
        }
    }
    return s;
}

QString savedText(int n)
{
    return RhythmPattern::builtInRhythmText(n).leftJustified(93, QLatin1Char(' '));
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}
