#pragma once

#include <QPushButton>

class KeyboardEngine;

// SFYXYZ: the button "键盘" that receives the computer keys while it has
// the focus and hands every key-down (auto-repeats included) to the
// keyboard engine. Keys never click the button nor move the focus; input
// methods are off so an IME cannot swallow the notes.
class KeyboardButton : public QPushButton {
    Q_OBJECT
public:
    explicit KeyboardButton(KeyboardEngine &engine, QWidget *parent = nullptr);

    // Enabled, and takes the input focus.
    void takeFocus();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    KeyboardEngine &engine_;
};
