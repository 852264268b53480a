#pragma once

#include <QWidget>

#include <memory>

class MainControllers;
class MediaDevice;
class QLabel;
class QPushButton;
class QRadioButton;
class RhythmPanel;
class ScoreBox;
class WaveRecorder;
class WindowRecorderDisplay;

// Form1: the main window. It composes the panels and lays them out; the
// controllers behind them hold the rules.
class Form1 : public QWidget {
    Q_OBJECT
public:
    Form1(MainControllers &controllers, MediaDevice &media, QWidget *parent = nullptr);
    ~Form1() override;

    // QDCSH: the one-time initialisation on the first activation.
    void QDCSH();
    // What runs each time the window becomes active.
    void activate();
    bool MainInitialised() const { return mainInitialised_; }
    int qdcshRuns() const { return qdcshRuns_; }
    // The recorder of this window (picture buttons, BcLY, Lyjsj).
    WaveRecorder &recorder() { return *recorder_; }

    static QString caption() { return QStringLiteral("Quorvane电子琴2012"); }
    // The page with music made with the program, opened by "效果欣赏".
    static QString musicPageUrl() { return QStringLiteral("https://www.quorvane.com/dzq/music.html"); }

signals:
    // The window has closed; the farewell window comes next.
    void closed();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildCommandButtons();
    void buildTabs();
    void focusKeyboard();
    void quitClicked();
    void openWebPage();

    MainControllers &c_;
    MediaDevice &media_;
    std::unique_ptr<WindowRecorderDisplay> recorderDisplay_;
    WaveRecorder *recorder_ = nullptr;
    bool mainInitialised_ = false;
    int qdcshRuns_ = 0;
    bool closing_ = false;

    ScoreBox *scoreBox_ = nullptr;
    RhythmPanel *rhythmPanel_ = nullptr;
    QWidget *panels_[5] = {};
    QRadioButton *Xxk[5] = {};
    QLabel *Label8 = nullptr;
    QLabel *SjXs = nullptr;
    QPushButton *DcMidi = nullptr;  // DcMidi: export the score as a MIDI file
    QPushButton *SFYXYZ = nullptr;
    QPushButton *MiNi = nullptr;
    QPushButton *BJCK = nullptr;
    QPushButton *BcLY = nullptr;
    QPushButton *Command1 = nullptr;
};
