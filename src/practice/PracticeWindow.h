#pragma once

#include "core/PlaybackTimer.h"
#include "practice/PracticeGrading.h"

#include <QWidget>

#include <memory>

class AccuracyPlot;
class ChoiceList;
class MelodyVoices;
class PracticePiano;
class PracticeSession;
class PracticeSheetView;
class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class RhythmPattern;
class WindowDisplay;
struct Session;

// The window "跟弹练习": the score box's score in numbered notation with
// the note to play marked, the piano with the key to press, the choices of
// mode, speed and passage, "开始", "重来", "示范", and after each run its
// result and the accuracy of the last runs of the score.
//
// The computer keys play through the key table at the key list's KeyBase
// wherever the focus is in the window (never into a control), a click
// plays a piano key, and the MIDI keyboard plays through midiTarget()
// (the caller routes it). Enter starts, Esc leaves.
class PracticeWindow : public QWidget {
    Q_OBJECT
public:
    PracticeWindow(Session &ctx, WindowDisplay &display, MelodyVoices &voices, RhythmPattern &pattern,
                   QWidget *parent = nullptr);
    ~PracticeWindow() override;

    static QString caption() { return QStringLiteral("跟弹练习"); }

    PracticeSession &session() { return *session_; }
    PracticePiano *piano() const { return piano_; }
    PracticeSheetView *sheet() const { return sheetView_; }
    // Reads the score box again (the window opened on it once more).
    void loadScore();
    void setMode(Practice::Mode mode);
    void setSpeed(int speed);

    // What the labels say now (for tests and screen readers).
    QString hintText() const;
    QString resultText() const;

signals:
    // The window was left (Esc, or closed).
    void left();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    bool handleKey(QKeyEvent *event, bool press);
    void fillBars();
    void barsChosen();
    void showState();
    void showResult();
    void onJudged(int pitch, bool right, int note);
    void onFrame();
    void updateAnimation();

    Session &ctx_;
    WindowDisplay &display_;
    MelodyVoices &voices_;
    RhythmPattern &pattern_;
    std::unique_ptr<PracticeSession> session_;
    PlaybackTimer frame_;  // repaints what moves: the filling mark, the flashes

    ChoiceList *mode_ = nullptr;
    ChoiceList *speed_ = nullptr;
    ChoiceList *fromBar_ = nullptr;
    ChoiceList *toBar_ = nullptr;
    QCheckBox *loop_ = nullptr;
    QPushButton *start_ = nullptr;
    QPushButton *restart_ = nullptr;
    QPushButton *demo_ = nullptr;
    QScrollArea *scroll_ = nullptr;
    PracticeSheetView *sheetView_ = nullptr;
    QLabel *hint_ = nullptr;
    QLabel *status_ = nullptr;
    QLabel *result_ = nullptr;
    AccuracyPlot *plot_ = nullptr;
    PracticePiano *piano_ = nullptr;
    bool filtering_ = false;
};
