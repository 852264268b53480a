#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <vector>

// The music editor's data: row texts, step cells and note codes of every
// measure, the measure headers and the rows' settings. One object lives for
// the whole run, so an edit survives closing and reopening the editor; it is
// owned by whoever creates the editor's controllers.
//
// A measure is StepCount steps; step s of measure m is the absolute step
// StepCount * m + s. Rows 0..4 are melody rows (two characters per step),
// rows 5..9 percussion rows (one character per step, "O" a hit).
class EditorModel {
public:
    static constexpr int kRows = 10;
    static constexpr int kColumns = 11;      // column 10 exists and is unused
    static constexpr int kMelodyRows = 5;
    static constexpr int kMeasures = 256;    // RowTexts
    static constexpr int kSteps = 1600;      // StepCells, NoteCodes, the step table
    static constexpr int kMaxStepCount = 32; // 4/4
    static constexpr qint16 kRest = 254;     // "XZ"
    static constexpr qint16 kNoCode = 255;   // not a note: the row goes on sounding

    EditorModel();

    // ---- the tables -----------------------------------------------------
    // Out-of-range indexes read as empty and are never written.
    QString RowTexts(int measure, int row) const;
    void setRowText(int measure, int row, const QString &text);
    QString StepCells(int step, int row) const;
    void setStepCell(int step, int row, const QString &text);
    qint16 NoteCodes(int step, int row) const;
    void setNoteCode(int step, int row, qint16 code);
    QString MeasureHeaders(int measure) const;
    void setMeasureHeader(int measure, const QString &header);

    std::array<QString, kMeasures> KeyTexts;    // two-digit key index per measure
    std::array<QString, kMeasures> TempoTexts;  // two-digit tempo index per measure
    std::array<qint16, kColumns> SoundingNotes{};  // code last started per melody row
    // The MIDI note each melody row really sounds, -1 when none: a note-off
    // always goes here, even after the key has changed meanwhile.
    std::array<qint16, kMelodyRows> SoundingMidiNotes{{-1, -1, -1, -1, -1}};

    // ---- scalars ----------------------------------------------------------
    qint16 MeasureLastStep = 15;
    int StepCount() const { return MeasureLastStep + 1; }
    qint32 CurrentMeasure = 0;
    qint32 MeasureTotal = 0;    // number of the last measure
    qint16 StepInterval = 187;  // milliseconds per step: Int(15000 / tempo)
    std::array<qint16, kColumns> RowVolumes{};   // 70 after initialisation
    std::array<qint32, kColumns> RowPrograms{};  // instrument list index - 1
    qint32 ImportDuration = 0;  // eighths of a beat; kept from one import to the next

    // The first absolute step of a measure.
    int firstStep(int measure) const { return StepCount() * measure; }
    // The highest measure whose steps all fit into the tables (99 in 2/4).
    int lastUsableMeasure() const;
    bool measureFits(int measure) const { return measure >= 0 && measure <= lastUsableMeasure(); }

    // ---- operations ---------------------------------------------------------
    // SYYPSB: cell text -> note code (0..55 a note, 254 rest, 255 anything else).
    static qint16 SYYPSB(const QString &cell);
    static bool isNoteCell(const QString &cell);  // one of the 33 note cells

    // SplitRowText: stores melody row `row` of CurrentMeasure, upper-cased and
    // padded with "-" to 2 * StepCount characters, and cuts it into cells.
    // Returns the text the box shows afterwards.
    QString SplitRowText(int row, const QString &text);
    // SetBeat: percussion cell `step` of row 5..9 in CurrentMeasure is a hit
    // or not; the row's other empty cells become "-" and its text is rebuilt.
    void SetBeat(int row, int step, bool hit);
    // MeasureRowsClear: empties the ten row texts of a measure (cells stay).
    void MeasureRowsClear(int measure);
    // ClearEdit: empties cells, note codes, texts and headers of measures
    // 0..MeasureTotal; MeasureTotal becomes 0.
    void ClearEdit();
    // JoinRows: empty or "sorts before '1'" cells become "--" / "-", all row
    // texts of 0..MeasureTotal are rebuilt from the cells, short headers become
    // the 4-digit measure number.
    void JoinRows();
    // The text of one row of a measure, joined from its cells.
    QString joinedRow(int measure, int row) const;
    // The text a row's cells stand for, each cell at its step: an empty cell
    // reads "--" (melody) or "-" (percussion), a short one is padded with
    // "-". Empty when every cell of the row in the measure is empty.
    QString rowTextFromCells(int measure, int row) const;
    // After a change of measure size: the row texts of the measures from
    // `first` on that fit are rebuilt from their cells, so a text shows
    // what would sound.
    void resliceRowTexts(int first = 0);
    // Empties every cell of the rows from..to (inclusive) in the measures 0..last.
    void clearCells(int fromRow, int toRow, int lastMeasure);

private:
    static int cellIndex(int step, int row);

    std::vector<QString> rowTexts_;    // kMeasures x kColumns
    std::vector<QString> stepCells_;   // kSteps x kColumns
    std::vector<qint16> noteCodes_;    // kSteps x kColumns
    std::vector<QString> headers_;     // kSteps (only 0..255 reachable)
};
