#pragma once

#include <QFrame>

class QLabel;
class WindowDisplay;

// The display in the top middle of the main window: the frame xsq holding
// the picture box XsP with the information display XSWB and the status line
// FJWZ, both following the window state.
class DisplayPanel : public QFrame {
    Q_OBJECT
public:
    DisplayPanel(WindowDisplay &window, QWidget *parent);

private:
    // XSWB: the information display: hints, the meaning of the key pressed
    QLabel *XSWB = nullptr;
    // FJWZ: the status line: one short message, usually ending in "。。。"
    QLabel *FJWZ = nullptr;
};
