#pragma once

#include "resources/StringTable.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

struct Session;

// Background of a cell of the rhythm grid.
enum class CellColour { Red, Yellow };

// The rhythm pattern of the main window: four rows of on/off cells, one drum
// per row, the rhythm volume and the time signature. Every edit writes the
// step table at once, so the sequencer only has to play it. Also keeps how the
// grid looks (cell colours, hidden cell 15), which the rhythm panel shows.
class RhythmPattern : public QObject {
    Q_OBJECT
public:
    static constexpr int kRows = 4;          // rows A, B, C, D
    static constexpr int kCellsPerRow = 17;  // cells 0..16; 16 is off the visible grid
    static constexpr int kDrumCount = StringTable::kDrumCount;  // drum list positions 0..46 = keys 35..81
    static constexpr int kVolumeCount = 8;   // "50" .. "120"
    static constexpr int kBuiltInCount = 9;
    static constexpr int kTitleLength = 16;
    static constexpr int kMinTextLength = 80;  // header, cells and at least 3 title characters

    explicit RhythmPattern(Session &ctx, QObject *parent = nullptr);

    bool Cells(int row, int i) const;
    // Drum list position of the row, -1 while none was chosen.
    qint16 Instrument(int row) const;
    qint16 VolumeIndex() const { return volumeIndex_; }
    // The velocity of every rhythm note: 50 + 10 * VolumeIndex.
    qint16 volumeNumber() const { return qint16(50 + 10 * volumeIndex_); }
    qint16 TimeSignature() const { return timeSignature_; }  // 0 "2/4", 1 "3/4", 2 "4/4"
    qint16 LastStep() const { return lastStep_; }

    CellColour cellColour(int i) const;
    bool isCellVisible(int i) const;

    // Edits; out-of-range arguments are ignored.
    void SetRhythmCell(int row, int i, bool set);
    void SetRhythmInstrument(int row, int position);
    void SetRhythmVolume(int index);
    void SelectTimeSignature(int k);
    // BZXS: colours the grid for the chosen time signature (once at start-up).
    void BZXS();

    // OpenJZwj: applies the shared RhythmText. A text that is too short or
    // whose header is not six hexadecimal values in range is refused with a
    // message and changes nothing. Returns whether it was applied.
    bool OpenJZwj();

    // The rhythm text of the pattern, titled with the file name (folder
    // stripped, blanks trimmed, padded or cut to 16 characters): 93 characters.
    QString composeRhythmText(const QString &fileName) const;

    // Rewrites velocity and message of steps 0..LastStep from the current
    // volume and instruments, and silences cell 4 of those steps.
    void rebuildSteps();
    // Writes the whole pattern (cells, drums, volume) into steps 0..16 of the
    // step table, which the music editor uses for its own percussion, and
    // silences cell 4 there.
    void writeStepTable();

    // Built-in rhythm n (1..9): its text, its name ("2/4节奏1" ...) and the
    // file name its text carries ("1-24.bin" ...). Empty outside 1..9.
    static QString builtInRhythmText(int n);
    static QString builtInRhythmName(int n);
    static QString builtInRhythmFileName(int n);
    static QStringList drumList();
    static QStringList volumeList();
    static QString openErrorText();

signals:
    void cellChanged(int row, int i, bool set);
    void instrumentChanged(int row, int position);
    void volumeChanged(int index);
    void timeSignatureChanged(int k);
    // Cell colours or the visibility of cell 15 changed.
    void gridChanged();

private:
    // Velocity and message of rows A..D for steps 0..LastStep.
    void writeVolume();
    void recolour(int k, int bound);

    Session &ctx_;
    std::array<std::array<bool, kCellsPerRow>, kRows> cells_{};
    std::array<qint16, kRows> instrument_{{-1, -1, -1, -1}};
    qint16 volumeIndex_ = 5;
    qint16 timeSignature_ = 0;
    qint16 lastStep_ = 16;
    std::array<CellColour, kCellsPerRow> colours_{};  // all red, as copies of cell 0
    bool cell15Visible_ = true;
};
