#pragma once

#include <QPushButton>

// A button that receives the computer keys for playing while it has the
// focus: every fresh key-down goes to keyDown() by its Windows key code.
// Keys never click the button nor move the focus; input methods are off so
// an IME cannot swallow the notes. Auto-repeated key-downs of a held key are
// ignored: the held note keeps sounding and the score gets one code, not a
// run of zero durations.
class PlayingKeyButton : public QPushButton {
    Q_OBJECT
public:
    PlayingKeyButton(const QString &caption, QWidget *parent = nullptr);

protected:
    virtual void keyDown(int keyCode) = 0;

    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
};
