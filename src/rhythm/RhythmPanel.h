#pragma once

#include <QWidget>

#include <array>

class QButtonGroup;
class QCheckBox;
class RhythmCellBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class RhythmFiles;
class RhythmPattern;
class RhythmSequencer;

// The rhythm panel Jiezhou(2) (节奏: rhythm) of the main window: time signatures, auto-sync
// and start buttons, the rhythm file label and list, one drum list and one
// track of step cells per row, the rhythm volume and the file buttons.
// It forwards clicks to the controllers and shows what they hold.
class RhythmPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 391;
    static constexpr int kHeight = 146;
    static constexpr int kCellPitch = 13;

    RhythmPanel(RhythmPattern &pattern, RhythmSequencer &sequencer, RhythmFiles &files,
                QWidget *parent = nullptr);

    // Creates cells 1..16 of every row as copies of cell 0, side by side
    // (done once at start-up). Calling it again creates nothing.
    void createCells();

    // Cell i of row r (BZA .. BZD), or nullptr while it is not created.
    QCheckBox *cell(int row, int i) const;

signals:
    // A click on the panel's background (the keyboard should play again).
    void backgroundClicked();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void makeTimeSignatures();
    void makeToggles();
    void makeDrumRows();
    void makeVolume();
    void makeFileButtons();
    void makeFileList();
    void followControllers();
    void trackMovesOverControls();
    RhythmCellBox *makeCell(int row, int i);
    void showCell(int row, int i);
    void showGrid();
    void showInstrument(int row);
    void showVolume();
    void showTimeSignature();
    void showBzQd();
    void showCheck5();
    void showFileList();
    void showLabel11(const QString &text);
    void showEverything();

    RhythmPattern &pattern_;
    RhythmSequencer &sequencer_;
    RhythmFiles &files_;

    std::array<QRadioButton *, 3> Option1_{};  // time signatures 2/4, 3/4, 4/4
    QButtonGroup *timeSignatures_ = nullptr;
    QPushButton *Check5 = nullptr;  // auto-sync toggle
    QPushButton *BzQd = nullptr;    // rhythm start toggle
    QLabel *Label11 = nullptr;      // rhythm file name; hovering opens File1
    QListWidget *File1 = nullptr;   // rhythm files of the record folder
    std::array<QComboBox *, 4> LblInst_{};   // drum of each row
    std::array<QWidget *, 4> PicTrack_{};    // track holding the cells of a row
    std::array<std::array<RhythmCellBox *, 17>, 4> cells_{};  // BZA, BZB, BZC, BZD
    QLabel *Label2 = nullptr;       // "音 量"
    QComboBox *VsbVol = nullptr;    // rhythm volume
    std::array<QPushButton *, 2> Cmdcill_{};  // delete, save
};
