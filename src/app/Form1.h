#pragma once

#include <QPointer>
#include <QRect>
#include <QVector>
#include <QWidget>

class MainWindowControllers;
class PerformanceControllers;
class QLabel;
class QPushButton;
class QRadioButton;
class RhythmPanel;
class ScoreBox;
class Form2;
class YYBJ;
class NotationWindow;
class HardwareNoteTarget;
class PracticeWindow;

// Form1: the main window. It composes the panels and lays them out; the
// controllers behind them hold the rules.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(MainWindowControllers &controllers, QWidget *parent = nullptr);
    ~Form1() override;

    // QDCSH: the one-time initialisation on the first activation.
    void QDCSH();
    // What runs each time the window becomes active.
    void activate();
    bool MainInitialised() const { return mainInitialised_; }
    int qdcshRuns() const { return qdcshRuns_; }
    // YXYZ: gives the computer keyboard back to the player after a control
    // of the window took the input focus.
    void YXYZ();
    // The mini window while it exists (created by the first click of "迷你").
    Form2 *miniWindow() const;
    // The music editor while it is open (from BJCK until it is left).
    YYBJ *editorWindow() const;
    // The notation window while it exists (created by the first click of "简谱").
    NotationWindow *notationWindow() const;
    // The practice window while it is open (from "跟弹练习" until it is left).
    PracticeWindow *practiceWindow() const;
    // Opens the practice window on the score box's score in this one's place.
    PracticeWindow *openPractice();
    // Where the window first shows: centred on `area` (the screen, the
    // welcome dialog), inside the screen.
    void placeAtStart(const QRect &area, const QWidget *like);

    static QString caption() { return QStringLiteral("Quorvane电子琴2012"); }
    // The page with music made with the program, opened by "效果欣赏".
    static QString musicPageUrl() { return QStringLiteral("https://www.quorvane.com/dzq/music.html"); }

signals:
    // The window has closed; the farewell window comes next.
    void closed();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // The pieces of the window, in the order they are built.
    void buildClockLine();     // the status line and the clock
    void buildScoreButtons();  // the score box, 导出 and 简谱
    void buildPanels();        // the chord, rhythm, melody and help panels
    void buildTabs();
    void buildCommandButtons();
    void buildKeyboard();      // the divider, the layout picture and the piano
    void followKeyboards();    // the MIDI input button, the mini window's tick

    void quitClicked();
    void openWebPage();
    void miniClicked();
    void backFromMini();
    void editorClicked();
    void backFromEditor();
    void notationClicked();
    void backFromPractice();
    // The mini window or the editor takes this window's place, and gives it
    // back: the windows that belong to it go and come back with it, each
    // where it was, and its keyboard plays only while it is shown.
    void stepAside();
    void comeBack();

    MainWindowControllers &c_;
    PerformanceControllers &p_;
    bool mainInitialised_ = false;
    int qdcshRuns_ = 0;
    bool closing_ = false;

    ScoreBox *scoreBox_ = nullptr;
    RhythmPanel *rhythmPanel_ = nullptr;
    QWidget *panels_[5] = {};
    // Xxk(i): the tabs "旋 律", "和 弦", "节 奏", "帮 助" (i = 0, 1, 2, 4)
    QRadioButton *Xxk[5] = {};
    // Label8: the credit line, turned by one character a second
    QLabel *Label8 = nullptr;
    // SjXs: the date and time, "yyyy-mm-dd hh-mm-ss"
    QLabel *SjXs = nullptr;
    QPushButton *DcMidi = nullptr;  // DcMidi: export the score as a MIDI file
    QPushButton *JianPu = nullptr;  // JianPu: show the score in numbered notation (简谱)
    // SFYXYZ: "键盘", takes the computer keys while it has the focus
    QPushButton *SFYXYZ = nullptr;
    // MiNi: "迷你", shows the mini window Form2 in this one's place
    QPushButton *MiNi = nullptr;
    // BJCK: "编辑", opens the music editor YYBJ in this one's place
    QPushButton *BJCK = nullptr;
    // BcLY: "保存", saves the recorder's take (bound by RecorderView)
    QPushButton *BcLY = nullptr;
    // Command1: "退出", quits the program
    QPushButton *Command1 = nullptr;
    QPointer<Form2> form2_;
    QPointer<YYBJ> yybj_;
    QPointer<NotationWindow> notation_;
    QPointer<PracticeWindow> practice_;
    QPointer<HardwareNoteTarget> miniNotes_;  // the mini window's rules for MIDI keyboards
    struct Companion {
        QPointer<QWidget> window;
        QRect frame;
    };
    QVector<Companion> companions_;  // hidden with this window by stepAside()
    QRect frame_;                    // where this window was before stepAside()
};
