#pragma once

#include "core/PlaybackTimer.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class Clock;
class MediaDevice;
class RecorderDisplay;
class UserDialogs;

// The wave recorder of one window. Both front ends, the main window's
// picture buttons Image1(0..2) with BcLY "保存" and the editor's options
// LUYINJI(0..3), drive the one media device alias "NN" that the whole program
// shares, with the same commands; they differ in guards, feedback and the
// elapsed label, chosen by the front end.
//
// The controller keeps what its panel shows (button images, the elapsed
// label, the selected option) and announces every change with changed().
//
// The take, the recording not yet saved, belongs to the program, not to a
// front end: it lives in the shared device, whichever front end recorded it.
// It is dropped only when the user records again in the same front end or
// plays a file that opens (each sends "CLOSE NN" first; a cancelled dialog
// keeps it); a take of the other front end that was never saved is kept as
// "录音-….wav" in the record folder before a new recording replaces it.
// Otherwise it stays until it is saved, through either front end, and the
// program keeps it in a file when it ends.
class WaveRecorder : public QObject {
    Q_OBJECT
public:
    enum class FrontEnd {
        MainWindow,  // guards, images and messages; BcLY only while a take waits
        Editor,      // any option interrupts the other; no messages of its own
    };

    // Button images of the main window (25 x 25, drawn by the resources).
    enum Bitmap {
        kPlayUp = 107, kPlayDown = 108,
        kStopUp = 109, kStopDown = 110,
        kRecordUp = 111, kRecordDown = 112,
    };

    WaveRecorder(FrontEnd frontEnd, MediaDevice &media, RecorderDisplay &display, UserDialogs &dialogs,
                 Clock &clock, const QString &recordFolder, QObject *parent = nullptr);

    static QString filter() { return QStringLiteral("演奏录音(wav)|*.wav"); }

    // Main window: Image1(0) play, Image1(1) stop, Image1(2) record; BcLY save.
    void Image1Clicked(int index);
    void BcLYClicked() { save(); }
    // Editor: LUYINJI(0) 播放, (1) 停止, (2) 录音, (3) 保存录音.
    void LUYINJIClicked(int index);

    void play();
    void stop();
    void record();
    void save();

    // Lyjsj: the recorder's clock (1000 ms), with its tick.
    PlaybackTimer &Lyjsj() { return Lyjsj_; }
    void onLyjsjTick();

    // The window is left (the editor): a recording this front end started
    // stops; its take stays, the program's unsaved take.
    void leave();

    // The program ends: an unsaved take is kept as "录音-yyyyMMdd-hhmmss.wav"
    // in the record folder (noted for the next start), else in the first of
    // `elsewhere` that takes it; then the device is closed with "CLOSE NN".
    // Returns what the user must be told now: where the take went if not into
    // the record folder, or why it could not be kept (it is then left to the
    // next start, and the device stays open). Empty when there is nothing to tell.
    QString shutDown(const QStringList &elsewhere = QStringList());
    // Takes that the start found left behind by a run that did not end
    // normally, now kept in the record folder under these names.
    void noteRecovered(const QStringList &names) { recovered_ += names; }
    // At start: tells where the previous run kept its unsaved takes, once
    // (a short line in the status line, the names in a box).
    void announceKeptTake();

    // What the panel shows.
    // Image1(i): the bitmap picture button i shows now (107 .. 112)
    int Image1(int index) const { return images_.at(std::size_t(index)); }
    // BcLY "保存": while there is a take to save (the main window only).
    bool BcLYEnabled() const { return isMain() && hasUnsavedTake(); }
    // Label12 of the main window, LYSJ of the editor.
    QString elapsedText() const { return elapsed_; }
    // While this front end neither records nor plays: what the other front
    // end's take is doing ("有未保存录音", "另一窗口录音中"), empty when none.
    QString takeNote() const;
    // The editor's selected option, -1 when none.
    int selectedOption() const { return selected_; }
    static QString toolTip(int image);
    // What a screen reader calls the picture button Image1(image).
    static QString buttonName(int image);
    static QString BcLYToolTip() { return QStringLiteral("保存最后的录音文件为wav格式音频！"); }

    bool RecorderRecording() const { return recording_; }
    bool RecorderPlaying() const { return playing_; }
    qint16 RecorderMinutes() const { return minutes_; }
    qint16 RecorderSeconds() const { return seconds_; }
    // The program's take, whichever front end recorded it, not yet saved.
    bool hasUnsavedTake() const;

signals:
    void changed();
    // A click is done: the window may give the keyboard back to the player.
    void choiceMade();

private:
    bool isMain() const { return frontEnd_ == FrontEnd::MainWindow; }
    int send(const QString &command);
    QString reason() const;
    void resetClock();
    void toStopped();
    void toIdle();
    void deselectOptions();
    QString elapsedLabel() const;
    QString idleLabel() const;
    QString keptNotePath() const;
    int ownTag() const { return isMain() ? 1 : 2; }
    QString keepTake(const QStringList &folders, QString *why, QString *firstWhy = nullptr);
    QString keepOthersTake();
    void takeStoppedByItself();
    void finish();

    const FrontEnd frontEnd_;
    MediaDevice &media_;
    RecorderDisplay &display_;
    UserDialogs &dialogs_;
    const QString recordFolder_;
    PlaybackTimer Lyjsj_;

    std::array<int, 3> images_{{kPlayUp, kStopUp, kRecordUp}};
    QString elapsed_;
    int selected_ = -1;
    bool recording_ = false;  // RecorderRecording
    bool playing_ = false;    // RecorderPlaying
    qint16 minutes_ = 0;      // RecorderMinutes
    qint16 seconds_ = 0;      // RecorderSeconds, 0..59
    QStringList recovered_;
};
