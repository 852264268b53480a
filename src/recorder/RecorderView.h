#pragma once

#include <QObject>

class QLabel;
class QPushButton;
class QWidget;
class WaveRecorder;

// The main window's recorder: the small panel LyCf with the picture buttons
// Image1(0) play, Image1(1) stop and Image1(2) record, the elapsed time
// Label12 beside it, and the save button BcLY "保存" (made by the window
// among its command buttons). Forwards clicks to the controller and shows
// what it says; shown again (back from the editor, whose recorder may have
// made or dropped the take), it shows the take as it is now.
class RecorderView : public QObject {
    Q_OBJECT
public:
    // Builds the controls on `window` at their places; binds `BcLY`.
    RecorderView(WaveRecorder &recorder, QPushButton *BcLY, QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();

    WaveRecorder &recorder_;
    // Image1(0..2): the play, stop and record picture buttons
    QLabel *Image1_[3] = {};
    // Label12: the elapsed time, "00:00" while the recorder rests
    QLabel *Label12 = nullptr;
    // BcLY: "保存", saves the take as a WAV file
    QPushButton *BcLY = nullptr;
};
