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
    QRadioButton *Option2[7] = {};
    QPlainTextEdit *Text1 = nullptr;
};
