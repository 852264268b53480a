#pragma once

#include "core/Session.h"

#include <QObject>
#include <QString>

#include <functional>

class ScorePlayer;
class WindowDisplay;

// The score file buttons under the score box: 打开 Yuepu(2), 保存 Yuepu(4),
// 清空 Yuepu(3) and 删除 Yuepu(1). Score files are GBK text in the record
// folder; a file's lines are joined with nothing between them.
class ScoreFiles : public QObject {
    Q_OBJECT
public:
    ScoreFiles(Session &ctx, WindowDisplay &display, ScorePlayer &player, QObject *parent = nullptr);

    // "乐谱记录txt|*.txt"
    static QString filter();

    // Another kind of file that "打开" reads besides scores (songs): the
    // dialog offers its filter entry after the scores', and a file it
    // accepts is handed to it instead of being read as a score.
    struct OtherFiles {
        QString filter;
        std::function<bool(const QString &path)> accepts;
        std::function<void(const QString &path)> open;
    };
    void setOtherFiles(const OtherFiles &other) { other_ = other; }

    // Yuepu(2): stops playing, empties the score, then opens a file and plays it.
    void openClicked();
    // The same for a file already chosen (named on the command line).
    void openPath(const QString &path);
    // Yuepu(4): stops playing and saves the score box to a file.
    void saveClicked();
    // Yuepu(3): empties the score and gives the keyboard back.
    void clearClicked();
    // Yuepu(1): deletes the file last chosen in a dialog and empties the score.
    void deleteClicked();

    // Keeps a score no file holds as "乐谱-yyyyMMdd-hhmmss.txt" in the record
    // folder; returns the one line that tells the user where it went (or
    // why it could not be kept).
    QString keepUnsaved(const QString &score);

    // Reads a score file: GBK text, lines joined. False with a message for
    // the user when it cannot be read, decoded or played (too long).
    static bool readScore(const QString &path, QString *score, QString *error);
    // The bytes a score is saved as: GBK text followed by CR LF. False when
    // the text holds characters GBK cannot store.
    static bool scoreBytes(const QString &score, QByteArray *bytes);

signals:
    // A choice was made in one of its controls: the window gives the
    // keyboard back in its own way.
    void choiceMade();

private:
    void emptyScore();
    void readAndPlay(const QString &path);
    // Stops the clock and the notes before a file dialog.
    void stopPlaying();

    Session &ctx_;
    WindowDisplay &display_;
    ScorePlayer &player_;
    OtherFiles other_;
};
