#pragma once

#include <QPair>
#include <QPlainTextEdit>

// The score text box Text3. A recorded score is one long line; laid out as
// a single paragraph it would be laid out anew on every key press, which
// costs tens of milliseconds once a score is long. So the box shows the
// score in rows of as many characters as fit, each its own paragraph, and
// appends to the last row when the score grows.
//
// The rows are only for the eye and never change the score: a row that the
// box broke ends with an invisible mark (a zero-width space) before its
// paragraph end, and such breaks are left out of the score, out of what is
// copied and out of what is saved. A line break the user types or pastes is
// a paragraph end without the mark and stays in the score as "\n".
//
// Tab and Ctrl+Tab leave the box for the next control, so a walk through the
// window with Tab never types into the score. Every change of the text, the
// user's and the program's, can be undone. The player's place is a mark
// drawn over the text, not a selection: typing never replaces it.
class ScoreTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ScoreTextEdit(QWidget *parent = nullptr);

    QString score() const { return score_; }
    // Shows a score; a score that only grew is appended.
    void setScore(const QString &score);
    // Selects characters of the score (zero-based start) without taking the
    // keyboard focus, and scrolls them into view.
    void selectScore(int start, int length);
    // Marks characters of the score (zero-based start) as the place being
    // played, scrolled into view; the user's cursor and selection stay.
    void markScore(int start, int length);
    // The marked characters of the score, as {start, length}; length 0 when
    // nothing is marked.
    QPair<int, int> mark() const { return mark_; }
    int rowLength() const { return rowLength_; }

    // The score held by a piece of the box's text (its rows' marks and
    // breaks taken out).
    static QString scoreOf(QString shown);

signals:
    // The user changed the text in the box.
    void scoreEdited(const QString &score);

protected:
    QMimeData *createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString rows(const QString &text, int firstRowRoom) const;
    bool measureRowLength();
    int documentPosition(int scoreIndex, bool atRowEnd) const;
    void replaceShown(const QString &shown);
    void showMark();
    void scrollToBlock(const QTextBlock &block);

    QString score_;
    int rowLength_ = 48;
    bool updating_ = false;
    QPair<int, int> mark_{0, 0};
};
