#include "editor/model/MeasureHeader.h"

#include "resources/StringTable.h"

namespace {

constexpr int kMelodyInstruments = StringTable::kInstrumentCount;  // "0.无声" .. "128.枪声"
constexpr int kDrums = StringTable::kDrumCount;

// Two hexadecimal digits (either case), or -1.
int hexPair(const QString &text)
{
    static const QString digits = QStringLiteral("0123456789ABCDEF");
    if (text.size() != 2)
        return -1;
    const int hi = int(digits.indexOf(text[0].toUpper()));
    const int lo = int(digits.indexOf(text[1].toUpper()));
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

int decimalPair(const QString &text)
{
    auto digit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    if (text.size() != 2 || !digit(text[0]) || !digit(text[1]))
        return -1;
    return text.toInt();
}

QString hex2(int value) { return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper(); }

}  // namespace

namespace MeasureHeader {

QString measureNumber(int measure) { return QStringLiteral("%1").arg(measure, 4, 10, QLatin1Char('0')); }

bool hasSettings(const QString &header) { return header.size() > 4; }

QString compose(int measure, const MeasureSettings &s)
{
    QString text = measureNumber(measure);
    for (int r = 0; r < MeasureSettings::kRows; ++r) {
        text += hex2(s.programs[size_t(r)] < 0 ? 0xFF : s.programs[size_t(r)]);
        text += hex2(qBound(0, int(s.volumes[size_t(r)]), 127));
    }
    text += QStringLiteral("%1").arg(s.keyIndex, 2, 10, QLatin1Char('0'));
    text += QStringLiteral("%1").arg(s.tempoIndex, 2, 10, QLatin1Char('0'));
    return text;
}

ParsedHeader parse(const QString &header)
{
    ParsedHeader p;
    for (int a = 0; a < MeasureSettings::kRows; ++a) {
        const int program = hexPair(header.mid(4 * a + 4, 2));
        const int count = a < 5 ? kMelodyInstruments : kDrums;
        if (program == 0xFF) {
            p.settings.programs[size_t(a)] = -1;
            p.programValid[size_t(a)] = true;
        } else if (program >= 0 && program + 1 < count) {
            p.settings.programs[size_t(a)] = program;
            p.programValid[size_t(a)] = true;
        }
        const int volume = hexPair(header.mid(4 * a + 6, 2));
        if (volume >= 0) {
            p.settings.volumes[size_t(a)] = qint16(qMin(volume, 127));
            p.volumeValid[size_t(a)] = true;
        }
    }
    const int key = header.size() >= 46 ? decimalPair(header.mid(44, 2)) : -1;
    if (key >= 0 && key < kKeyCount) {
        p.settings.keyIndex = key;
        p.keyValid = true;
    }
    const int tempo = header.size() >= kLength ? decimalPair(header.right(2)) : -1;
    if (tempo >= 0 && tempo < kTempoCount) {
        p.settings.tempoIndex = tempo;
        p.tempoValid = true;
    }
    return p;
}

}  // namespace MeasureHeader
