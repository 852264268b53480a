#pragma once

#include "recorder/RecorderDisplay.h"
#include "recorder/WaveRecorder.h"

#include <QWidget>

class EditorControllers;
class MeasureRows;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

// YYBJ: the music editor window. Shows one editor measure at a time on the
// editor's controllers, which keep the edit for the whole run; the window
// itself lives from one opening to its leaving. Its recorder group drives
// the program's one recorder device with the editor's rules.
class YYBJ : public QWidget {
    Q_OBJECT
public:
    explicit YYBJ(EditorControllers &editor, QWidget *parent = nullptr);
    ~YYBJ() override;

    static QString caption() { return QStringLiteral("音乐编辑器"); }
    // The window's width and left edge for a measure size option (2/4, 3/4,
    // 4/4), in pixels: the design's twips / 15.
    static int windowWidth(int option);
    static int windowLeft(int option);
    static int pictureWidth(int option);
    static int textWidth(int option);
    static constexpr int kHeight = 392;
    static constexpr int kRightColumnWidth = 110;

    // The window's first activation of this opening: the editor opens
    // (initialised anew, empty edit). Later activations change nothing.
    void activate();
    bool activated() const { return activated_; }
    WaveRecorder &recorder() { return recorder_; }

signals:
    // The editor has been left; the main window shows again.
    void left();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildHeader();
    void buildButtons();
    void buildMeasureLine();
    void bindPlayback();
    void layOut(int option);
    void showTempo(const QString &text);
    void showHelp();

    EditorControllers &editor_;
    NoticeRecorderDisplay recorderDisplay_;
    WaveRecorder recorder_;
    MeasureRows *rows_ = nullptr;
    bool activated_ = false;
    bool leaving_ = false;

    // JPFL(0..2): "2/4", "3/4", "4/4", the measure size of the whole edit
    QRadioButton *JPFL[3] = {};
    // DQSUDU: the tempo list "60" .. "120" beats a minute, text editable
    QComboBox *DQSUDU = nullptr;
    // DQYD: the key list "C" .. "B" (KeyBase = 36 + index)
    QComboBox *DQYD = nullptr;
    // ComDevies: the MIDI output devices, the same port as the main window's list
    QComboBox *ComDevies = nullptr;
    // XJZS: the number of the measure shown; the audition plays the one typed here
    QLineEdit *XJZS = nullptr;
    // XJXSS: "实际小节数是(1-2)小节", the real bars of the measure shown
    QLabel *XJXSS = nullptr;
    // HScroll1: chooses the measure shown
    QScrollBar *HScroll1 = nullptr;
    // ZDXJZS: "设置", asks for the number of the last measure (MeasureTotal)
    QPushButton *ZDXJZS = nullptr;
    // Picture3: the right-hand column of measure, playing and file buttons
    QFrame *Picture3 = nullptr;
    // ST1: "试听本节效果", auditions the measure named in XJZS
    QRadioButton *ST1 = nullptr;
    // ST2: "从开始处启动" / "停止当前演奏", plays the music from measure 0
    QCheckBox *ST2 = nullptr;
    // BZWJ: "帮  助", shows the editor's help text; disabled while the music plays
    QPushButton *BZWJ = nullptr;
    // TUICHU: "退出窗口", leaves the editor for the main window
    QPushButton *TUICHU = nullptr;
};
