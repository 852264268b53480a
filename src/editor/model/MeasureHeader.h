#pragma once

#include "editor/model/EditorModel.h"

#include <QString>
#include <QtGlobal>

#include <array>

// The settings of one editor measure as its header stores them:
//   "0003" measure number, then per row 0..9 the instrument value and the
//   volume as two upper-case hexadecimal digits each, then the key index and
//   the tempo index as two decimal digits: 48 characters.
// The instrument value -1 (a list's first entry) is written "FF".
struct MeasureSettings {
    static constexpr int kRows = EditorModel::kRows;
    std::array<qint32, kRows> programs{};  // instrument list index - 1
    std::array<qint16, kRows> volumes{};   // 0..127
    int keyIndex = 0;                      // 0..11
    int tempoIndex = 0;                    // 0..12
};

// What a header read back holds: a field that is missing or not a number
// in range is not valid, and the setting it stands for stays as it was.
struct ParsedHeader {
    MeasureSettings settings;
    std::array<bool, MeasureSettings::kRows> programValid{};
    std::array<bool, MeasureSettings::kRows> volumeValid{};
    bool keyValid = false;
    bool tempoValid = false;
};

namespace MeasureHeader {

constexpr int kLength = 48;
constexpr int kKeyCount = 12;
constexpr int kTempoCount = 13;

QString measureNumber(int measure);  // "0007"
QString compose(int measure, const MeasureSettings &settings);
// Only headers longer than 4 characters carry settings.
bool hasSettings(const QString &header);
// Reads the fields of a header. An instrument value must name an entry of
// the row's list (129 instruments for melody rows, 47 drums for percussion).
ParsedHeader parse(const QString &header);

}  // namespace MeasureHeader
