#pragma once

#include <QObject>

#include <array>

class QLabel;
class QRadioButton;
class QWidget;
class WaveRecorder;

// The editor's recorder group: the caption Label2 "录音机", the options
// LUYINJI(0) 播放, (1) 停止, (2) 录音, (3) 保存录音 and the elapsed time LYSJ,
// in a row on `parent`. Forwards clicks to the controller and shows the
// option it has selected.
class EditorRecorderView : public QObject {
    Q_OBJECT
public:
    EditorRecorderView(WaveRecorder &recorder, QWidget *parent);

    static QString optionCaption(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();

    WaveRecorder &recorder_;
    // LUYINJI(0..3): "播放", "停止", "录音", "保存录音", the recorder's options
    std::array<QRadioButton *, 4> LUYINJI{};
    // LYSJ: "当前: m:s", the elapsed time of the recording or playing; while
    // idle, what the session's take is doing, if there is one
    QLabel *LYSJ = nullptr;
};
