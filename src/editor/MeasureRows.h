#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <vector>

class EditorControls;
class QCheckBox;
class QColor;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QWidget;

// The ten rows of the music editor on its window: per row the name
// Label1(r), the instrument list SYYQ(r) and the volume list YQYL(r); in the
// panel Picture1 the melody text boxes YF1(0..4) and the percussion rows
// DJY1..DJY5, one check box per step. Shows what the controls say and
// hands every edit to them.
class MeasureRows : public QObject {
    Q_OBJECT
public:
    static constexpr int kTop = 40;        // top of Picture1 in the window
    static constexpr int kLeft = 175;      // left of Picture1 in the window
    static constexpr int kPitch = 25;      // row pitch
    static constexpr int kStep = 20;       // a step of the grid
    static constexpr int kHeight = 10 * kPitch + 4;

    MeasureRows(EditorControls &controls, QWidget *window);

    // Picture1: the panel of the melody text boxes and the percussion rows
    QFrame *Picture1() const { return Picture1_; }
    // Widths of Picture1 and of the melody text boxes for a measure size.
    void layOut(int pictureWidth, int textWidth);
    // JZXSGC: the boxes 1.. of every percussion row made before go; boxes
    // 1 .. boxes - 1 are made, placed and coloured by their beat.
    void JZXSGC(int boxes);
    int gridBoxes() const { return boxes_; }

    // Where box i of a row lies from box 0: one extra pixel between beats.
    static int boxOffset(int i) { return kStep * i + i / 4; }
    static QColor beatColour(int beat);
    static QColor melodyColour(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildRow(int row, QWidget *window);
    QCheckBox *makeBox(int row, int step);
    void showBox(int row, int step, bool ticked);
    void showVolume(int row, const QString &text);

    EditorControls &controls_;
    QFrame *Picture1_ = nullptr;
    // Label1(r): "乐器1" .. "乐器10", the name of row r
    std::array<QLabel *, 10> Label1{};
    // SYYQ(r): the instrument of row r (rows 5..9: the drum)
    std::array<QComboBox *, 10> SYYQ{};
    // YQYL(r): the volume of row r, "20" .. "120", text editable
    std::array<QComboBox *, 10> YQYL{};
    // YF1(r): the melody text of row r (0..4), two characters a step
    std::array<QLineEdit *, 5> YF1{};
    // DJY1..DJY5: the percussion rows 5..9, one check box a step
    std::array<std::vector<QCheckBox *>, 5> DJY;  // DJY1..DJY5, box 0 first
    int boxes_ = 1;
};
