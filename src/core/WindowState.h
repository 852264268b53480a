#pragma once

#include <QObject>
#include <QString>

// What the main window shows that many controllers write: the information
// display XSWB, the status line FJWZ, and the keyboard button that receives
// the computer keys. Each writer replaces the whole text.
class WindowState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    QString XSWB() const { return xswb_; }
    QString FJWZ() const { return fjwz_; }
    void setXSWB(const QString &text);
    void setFJWZ(const QString &text);

    // The score box Text3. Writers replace the whole text; the user's edits
    // come back through setText3 as well.
    QString Text3() const { return text3_; }
    void setText3(const QString &text);
    // Selects part of the score box (zero-based start), as the score player
    // does to show where it is.
    void selectText3(int start, int length);
    int text3SelectionStart() const { return selStart_; }
    int text3SelectionLength() const { return selLength_; }

    // LastFilePath: the file last chosen in a file dialog of the main window
    // (score, rhythm or recording); the score box's delete button deletes it.
    QString LastFilePath;

    // YXYZ: give the computer keyboard back to the player after a control of
    // the main window took the input focus (enables the keyboard, editor and
    // mini buttons and focuses the keyboard button).
    void YXYZ();
    int yxyzCount() const { return yxyzCount_; }

signals:
    void xswbChanged(const QString &text);
    void fjwzChanged(const QString &text);
    void keyboardFocusRequested();
    void text3Changed(const QString &text);
    void text3SelectionRequested(int start, int length);

private:
    QString xswb_;
    QString fjwz_;
    QString text3_;
    int selStart_ = 0;
    int selLength_ = 0;
    int yxyzCount_ = 0;
};
