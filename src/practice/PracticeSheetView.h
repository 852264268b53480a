#pragma once

#include "jianpu/NotationPicture.h"

#include <QWidget>

#include <functional>

class PracticeSession;

// The score in numbered notation as the 简谱 window draws it, with the
// practice marked on it: the note to play in blue, the notes played right
// in green, wrong (逐音) in red, missed (跟节奏) in grey, a wrong note
// flashing red over the note to play; the bars outside the passage pale.
class PracticeSheetView : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 kFlashNs = 350LL * 1000 * 1000;

    explicit PracticeSheetView(PracticeSession &session, QWidget *parent = nullptr);

    // The session's sheet was read anew (a new score, another time signature).
    void setSheet(const QString &title, const QString &key);
    // The marks changed: repaints, and keeps the note to play in sight.
    void refresh();
    // A wrong note was played at `note` (a prepared note, -1 none).
    void flashWrong(int note, qint64 nowNs);
    bool flashing(qint64 nowNs) const { return nowNs < flashUntilNs_; }
    std::function<qint64()> now;

    const NotationPicture &picture() const { return picture_; }
    // Where a prepared note is drawn: the band of each of its cells.
    QVector<QRectF> noteRects(int note) const;

signals:
    void revealRequested(const QRect &rect);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void relayout();

    PracticeSession &session_;
    NotationPicture picture_;
    QVector<std::pair<int, int>> noteCells_;  // per prepared note: its cells [first, last)
    int shownNote_ = -1;
    int flashNote_ = -1;
    qint64 flashUntilNs_ = 0;
};
