#pragma once

#include <QPointer>
#include <QWidget>

class MelodyVoices;
class NotationView;
class QLabel;
class QPushButton;
class QScrollArea;
class RhythmFiles;
class RhythmPattern;
class ScorePlayer;
class WindowDisplay;
struct Session;

// The window "简谱": the score box's score in numbered notation, following
// every change of it (typing, playing from the keyboard, opening a file),
// the key and tempo lists and the rhythm panel's time signature. While the
// score plays, the note being played is marked and kept in sight. It prints
// (Qt's print dialog) and saves the notation as PDF, SVG or PNG.
class NotationWindow : public QWidget {
    Q_OBJECT
public:
    NotationWindow(Session &ctx, WindowDisplay &display, MelodyVoices &voices, RhythmPattern &pattern,
                   RhythmFiles &rhythmFiles, ScorePlayer &player, QWidget *parent = nullptr);

    // Keys pressed while this window has the focus go on to `target` (the
    // main window's keyboard button), so playing goes on while it is in front.
    void setKeyTarget(QWidget *target) { keyTarget_ = target; }

    NotationView *view() const { return view_; }
    // DaYin "打印": Qt's print dialog, then the pages.
    void printClicked();
    // BcTp "保存图片": a file dialog, then PDF, SVG or PNG by the extension
    // (a long score as numbered pictures), written behind a progress box.
    void saveClicked();

    static QString saveFilter();
    // The progress box's label while "保存图片" writes.
    static QString savingLabel(const QString &fileName)
    {
        return QStringLiteral("正在保存简谱“%1”……").arg(fileName);
    }

signals:
    // GtLx "跟弹练习": practise the score shown (the window above opens it).
    void practiceRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    // Sends the key on to the keyboard button; false without one.
    bool forwardKey(QKeyEvent *event);
    void updateOptions();
    void scoreChanged(const QString &text);
    void showSummary();

    Session &ctx_;
    WindowDisplay &display_;
    MelodyVoices &voices_;
    RhythmPattern &pattern_;
    RhythmFiles &rhythmFiles_;
    ScorePlayer &player_;
    QScrollArea *scroll_ = nullptr;
    NotationView *view_ = nullptr;
    QLabel *JpZt = nullptr;          // JpZt: the window's status line
    QPushButton *DaYin = nullptr;    // DaYin: print
    QPushButton *BcTp = nullptr;     // BcTp: save as a picture
    QPushButton *GtLx = nullptr;     // GtLx: practise the score
    QPointer<QWidget> keyTarget_;
    QString title_;          // the score's file name in the header
    QString dismissedPath_;  // a file whose score was emptied since
    bool optionsSet_ = false;
};
