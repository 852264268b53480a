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

    QRadioButton *JPFL[3] = {};
    QComboBox *DQSUDU = nullptr;
    QComboBox *DQYD = nullptr;
    QComboBox *ComDevies = nullptr;
    QLineEdit *XJZS = nullptr;
    QLabel *XJXSS = nullptr;
    QScrollBar *HScroll1 = nullptr;
    QPushButton *ZDXJZS = nullptr;
    QFrame *Picture3 = nullptr;
    QRadioButton *ST1 = nullptr;
    QCheckBox *ST2 = nullptr;
    QPushButton *BZWJ = nullptr;
    QPushButton *TUICHU = nullptr;
};
