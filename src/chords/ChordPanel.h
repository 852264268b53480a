#pragma once

#include <QWidget>

#include <array>

class ChordAccompaniment;
class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

// The chord panel Jiezhou(1) of the main window: the chord type options and
// the start button in Picture3, the three chord instruments and the chord
// volume beside it. Shows what the chord controller says and forwards the
// user's choices to it.
class ChordPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 391;
    static constexpr int kHeight = 146;

    explicit ChordPanel(ChordAccompaniment &chords, QWidget *parent = nullptr);

    QRadioButton *option(int i) const;
    // Check6: "启动", sounds the chosen chord for one second
    QPushButton *Check6() const { return Check6_; }
    // Combo3(i): the instrument of chord channel 3 + i
    QComboBox *Combo3(int i) const;
    // HxYL: the chord volume, "25" .. "120"
    QComboBox *HxYL() const { return HxYL_; }

signals:
    // A click on the panel's background (the keyboard should get the keys back).
    void backgroundClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void showOption(int option);

    ChordAccompaniment &chords_;
    QFrame *Picture3_ = nullptr;                 // Picture3: box of the chord options
    QButtonGroup *group_ = nullptr;
    std::array<QRadioButton *, 11> Option5_{};   // Option5: chord type options
    QPushButton *Check6_ = nullptr;              // Check6: chord test "启动"
    QLabel *Label5_ = nullptr;                   // "乐器"
    std::array<QComboBox *, 3> Combo3_{};        // Combo3: chord instruments
    QLabel *Label13_ = nullptr;                  // "音量"
    QComboBox *HxYL_ = nullptr;                  // HxYL: chord volume
};
