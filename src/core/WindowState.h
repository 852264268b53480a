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

    // YXYZ: give the computer keyboard back to the player after a control of
    // the main window took the input focus (enables the keyboard, editor and
    // mini buttons and focuses the keyboard button).
    void YXYZ();
    int yxyzCount() const { return yxyzCount_; }

signals:
    void xswbChanged(const QString &text);
    void fjwzChanged(const QString &text);
    void keyboardFocusRequested();

private:
    QString xswb_;
    QString fjwz_;
    int yxyzCount_ = 0;
};
