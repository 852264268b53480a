#pragma once

#include <QPushButton>

// A button that receives the computer keys for playing while it has the
// focus: every fresh key-down goes to keyDown() by its Windows key code.
// Keys never click the button nor move the focus; input methods are off so
// an IME cannot swallow the notes. Auto-repeated key-downs of a held key are
// ignored: the held note keeps sounding and the score gets one code, not a
// run of zero durations.
//
// Ctrl+Tab (Ctrl+Shift+Tab) leaves the button for the window's other
// controls, which Tab then walks through; Esc anywhere in the window comes
// back to it, as a click on it does. Tab and Esc alone stay the player's.
class PlayingKeyButton : public QPushButton {
    Q_OBJECT
public:
    PlayingKeyButton(const QString &caption, QWidget *parent = nullptr);

    // What the keys above are, for the button's accessible description.
    static QString focusKeysText();

protected:
    virtual void keyDown(int keyCode) = 0;

    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
};
