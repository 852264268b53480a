#pragma once

#include "core/Session.h"
#include "editor/model/EditorModel.h"
#include "editor/model/MeasureHeader.h"
#include "resources/StringTable.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

// The settings and the measure shown in the music editor YYBJ: what each of
// its lists, text boxes, check boxes and the scroll bar hold, and what a
// selection in them does (program changes, the step table, KeyBase, the step
// interval). A selection made in code goes through the same method as the
// user's, so its effects are the same. The window shows what this says.
class EditorControls : public QObject {
    Q_OBJECT
public:
    static constexpr int kRows = EditorModel::kRows;
    static constexpr int kMelodyRows = EditorModel::kMelodyRows;
    static constexpr int kPercussionRows = 5;
    static constexpr int kMelodyInstruments = StringTable::kInstrumentCount;
    static constexpr int kDrums = StringTable::kDrumCount;

    EditorControls(Session &ctx, EditorModel &model, QObject *parent = nullptr);

    EditorModel &model() { return model_; }

    // The first activation of an opening (BJQD when not yet initialised),
    // then ClearEdit: every opening starts with one empty measure.
    void activate();
    // BJQD: the initial instruments, volumes "70", key "C", tempo "80", 2/4.
    void BJQD();
    bool EditorInitialised() const { return initialised_; }
    // The window is unloaded: the next opening shows fresh controls and runs
    // BJQD again (the edit model keeps its tables).
    void unload();

    // ---- lists ------------------------------------------------------------
    // SYYQ(r): list index (rows 0..4: 0 "0.无声" .. 128; rows 5..9: drums 0..46).
    int instrument(int row) const;
    void selectInstrument(int row, int index);
    // YQYL(r): the volume box's text; RowVolumes(r) follows, limited to 0..127.
    QString volumeText(int row) const;
    void setVolumeText(int row, const QString &text);
    // Text typed into the box: one that is not a positive number is not
    // taken (returns false) and the row keeps its volume.
    bool typeVolumeText(int row, const QString &text);
    // The volume a row's box stands for: Int(Val(text)) limited to 0..127.
    qint16 volumeNumber(int row) const;
    // DQYD: 0 "C" .. 11 "B"; KeyBase = 36 + index.
    int keyIndex() const { return keyIndex_; }
    void selectKey(int index);
    // DQSUDU: 0 "60" .. 12 "120"; StepInterval = Int(15000 / tempo). A typed
    // tempo that is not a positive number giving a step of 1 ms or more is
    // not taken: the tempo stays as it was. Returns whether it was taken.
    int tempoIndex() const { return tempoIndex_; }
    QString tempoText() const { return tempoText_; }
    void selectTempo(int index);
    bool setTempoText(const QString &text);
    // JPFL: 0 "2/4", 1 "3/4", 2 "4/4"; -1 when the measure size has no option.
    int timeSignature() const { return timeSignature_; }
    void selectTimeSignature(int option);
    // DKJZWJ: shows the option of MeasureLastStep and rebuilds the grid,
    // without changing MeasureLastStep.
    void DKJZWJ();

    // ---- the measure shown -------------------------------------------------
    // Everything below shows CurrentMeasure of the model and nothing else:
    // after every change of the model, showCurrentMeasure() brings the melody
    // texts, the boxes, XJZS, XJXSS and the scroll bar back to it.
    //
    // When the settings stored in the header of the measure are applied:
    enum class Header {
        Keep,     // never: playback applies the header itself
        IfMoved,  // when another measure comes into view (the scroll bar's rule)
        Apply,    // always (an opened edit shows its first measure)
    };
    // Shows CurrentMeasure (kept within the step tables): XJZS, XJXSS, the
    // scroll bar (its range grows to reach it), the row texts and the boxes
    // ticked from the cells. A box that changes runs SetBeat as a click does.
    // A melody text being typed stays while its measure stays in view.
    void showCurrentMeasure(Header header);

    // YF1(r): melody text boxes, at most 2 * StepCount characters.
    QString melodyText(int row) const;
    int melodyMaxLength() const { return 2 * model_.StepCount(); }
    void setMelodyText(int row, const QString &text);  // typing: nothing else happens
    void melodyFocusLost(int row);                     // SplitRowText
    // Cuts every melody text being typed into the measure shown, as leaving
    // its box would (playback moving on to the next measure).
    void commitTyping();
    // DJY1..DJY5: box `step` of percussion row 5..9.
    bool boxTicked(int row, int step) const;
    void clickBox(int row, int step, bool ticked);      // SetBeat
    int gridBoxes() const { return model_.StepCount(); }
    // XJZS: the measure number box (typed text is kept as typed until the
    // next change of the model shows CurrentMeasure again).
    QString XJZS() const { return xjzs_; }
    void setXJZS(const QString &text);
    // The measure XJZS names: its text read as a number, rounded, kept
    // within the step tables.
    int measureInXJZS() const;
    // XJXSS: "实际小节数是(1-2)小节".
    QString XJXSS() const { return xjxss_; }
    static QString realBarsText(int measure);
    // HScroll1. Its value is always CurrentMeasure once shown.
    int scrollMaximum() const { return scrollMax_; }
    int scrollValue() const { return scrollValue_; }
    // The range the scroll bar takes with the next showCurrentMeasure().
    void setScrollMaximum(int maximum);
    // Raises the scroll bar's maximum to MeasureTotal when it lies below.
    void followMeasureTotal();
    // The user moves the scroll bar: that measure becomes CurrentMeasure and
    // is shown, with the settings of its header.
    void scrollTo(int value);

    // ---- measure settings -----------------------------------------------------
    // The settings the lists show now.
    MeasureSettings currentSettings() const;
    // BCXJ: stores them as the header of CurrentMeasure. A header holds a
    // tempo of the list only: a typed tempo that is not one is replaced by
    // the nearest entry of the list first, and the user is told so.
    void BCXJ();
    // The entry of the tempo list nearest to a tempo (the slower of two
    // equally near).
    static int nearestTempoIndex(double bpm);
    // CXTSB: applies the header of CurrentMeasure to the lists, the melody
    // channels and the measure's step cells.
    void CXTSB();
    // Step cells v = 0..4 of a step: Note, Velocity and Message from the lists.
    void writeDrumCells(int step, bool withVelocity = true);

    // ---- measure buttons -----------------------------------------------------
    void insertMeasure();     // CHARU
    void clearMeasure();      // QinKong
    void askMeasureTotal();   // ZDXJZS

    // The number at the start of a text (Val); 0 when there is none.
    static double Val(const QString &text);
    static QStringList volumeList();
    static QStringList tempoList();
    static QStringList keyList();
    static quint32 drumMessage(int note, int volume) { return quint32(volume * 65536 + note * 256 + 153); }

signals:
    void instrumentChanged(int row, int index);
    void volumeTextChanged(int row, const QString &text);
    void keyChanged(int index);
    void tempoChanged(int index, const QString &text);
    void stepIntervalChanged(int ms);
    void timeSignatureChanged(int option);
    void gridRebuilt(int boxes);
    void melodyTextChanged(int row, const QString &text);
    void boxChanged(int row, int step, bool ticked);
    void xjzsChanged(const QString &text);
    void xjxssChanged(const QString &text);
    void scrollChanged(int maximum, int value);
    // A choice was made: the window gives the keyboard focus back.
    void choiceMade();

private:
    void setBox(int row, int step, bool ticked);
    void setRowMelodyText(int row, const QString &text);
    void keepWithinCapacity();
    void settleTypedTempo();

    Session &ctx_;
    EditorModel &model_;
    bool initialised_ = false;
    std::array<int, kRows> instrument_{};
    std::array<QString, kRows> volumeText_{};
    int keyIndex_ = 0;
    int tempoIndex_ = 4;
    QString tempoText_ = QStringLiteral("80");
    int timeSignature_ = 0;
    std::array<QString, kMelodyRows> melody_{};
    std::array<bool, kMelodyRows> typing_{};  // typed and not yet cut into cells
    std::array<std::array<bool, EditorModel::kMaxStepCount>, kPercussionRows> boxes_{};
    QString xjzs_ = QStringLiteral("0");
    QString xjxss_ = QStringLiteral("实际小节数是(1-2)小节");
    int scrollMax_ = 0;
    int scrollValue_ = 0;
};
