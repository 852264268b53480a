#pragma once

#include <QWidget>

class Navigation;
class QPlainTextEdit;
class QRadioButton;

// The help panel Jiezhou(4): the topics Option2(0..6) and the read-only help
// text Text1 with a vertical scroll bar.
class HelpPanel : public QWidget {
    Q_OBJECT
public:
    HelpPanel(Navigation &navigation, QWidget *parent);

private:
    // Option2(0..6): the help topics "软件简介" .. "录音重放"
    QRadioButton *Option2[7] = {};
    // Text1: the text of the topic chosen, read-only
    QPlainTextEdit *Text1 = nullptr;
};
