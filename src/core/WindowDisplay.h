#pragma once

#include <QObject>
#include <QString>

// What one window shows that its controllers write: the information display
// XSWB, the status line FJWZ, the score box Text3 and the file last chosen in
// one of its file dialogs. Each window has a display of its own; each writer
// replaces the whole text.
class WindowDisplay : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // XSWB: the information display: hints, the meaning of the key pressed
    QString XSWB() const { return xswb_; }
    // FJWZ: the status line: one short message
    QString FJWZ() const { return fjwz_; }
    void setXSWB(const QString &text);
    void setFJWZ(const QString &text);

    // The score box Text3. Writers replace the whole text; the user's edits
    // come back through setText3 as well.
    QString Text3() const { return text3_; }
    void setText3(const QString &text);
    // The score box now holds what a file holds (just opened or saved).
    void markText3Kept() { keptText3_ = text3_; }
    // The box holds a score that no file holds: replacing it loses work.
    bool text3Unsaved() const { return !text3_.trimmed().isEmpty() && text3_ != keptText3_; }
    // Selects part of the score box (zero-based start), as the score player
    // does to show where it is.
    void selectText3(int start, int length);

    // LastFilePath: the file last chosen in a file dialog of the window
    // (score, rhythm or recording); the score box's delete button deletes it.
    QString LastFilePath;

signals:
    void xswbChanged(const QString &text);
    void fjwzChanged(const QString &text);
    void text3Changed(const QString &text);
    void text3SelectionRequested(int start, int length);

private:
    QString xswb_;
    QString fjwz_;
    QString text3_;
    QString keptText3_;
};
