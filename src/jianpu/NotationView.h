#pragma once

#include "jianpu/NotationPicture.h"
#include "jianpu/NotationSheet.h"

#include <QTimer>
#include <QWidget>

// The numbered notation of a score on the screen, inside a scroll area that
// gives it its width. A change of the score is only noted: the notation is
// read again once per kRebuildMs at most, off the key press that changed it,
// and only the rows in sight are painted, so the keyboard stays quick with
// long scores.
class NotationView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRebuildMs = 30;

    explicit NotationView(QWidget *parent = nullptr);

    void setScore(const QString &score);
    void setOptions(const Notation::Options &options, const NotationPicture::Header &header);

    // Marks the cells of the token at a zero-based offset of the score (the
    // player's selection) as playing and scrolls them into view.
    void showPlayingAt(int offset);
    void clearPlaying();
    std::pair<int, int> playing() const { return playing_; }

    // The picture as the score now stands (read at once when a change waits).
    NotationPicture &picture();
    bool rebuildPending() const { return rebuild_.isActive(); }
    // How often the notation has been read (for tests of the coalescing).
    int rebuilds() const { return rebuilds_; }

signals:
    // The notation was read again.
    void sheetChanged();
    // A rectangle that should be scrolled into view.
    void revealRequested(const QRect &rect);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    void rebuild();
    void readNow();
    void relayout();

    QString score_;
    Notation::Options options_;
    NotationPicture::Header header_;
    NotationPicture picture_;
    QTimer rebuild_;
    std::pair<int, int> playing_{0, 0};
    int rebuilds_ = 0;
    bool stale_ = false;  // the score changed while hidden
};
