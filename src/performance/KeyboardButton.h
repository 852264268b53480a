#pragma once

#include "widgets/PlayingKeyButton.h"

class KeyboardEngine;

// SFYXYZ: the button "键盘" that receives the computer keys while it has
// the focus and hands every fresh key-down to the keyboard engine.
class KeyboardButton : public PlayingKeyButton {
    Q_OBJECT
public:
    explicit KeyboardButton(KeyboardEngine &engine, QWidget *parent = nullptr);

    // Enabled, and takes the input focus.
    void takeFocus();

protected:
    void keyDown(int keyCode) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    KeyboardEngine &engine_;
};
