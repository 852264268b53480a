#pragma once

#include <QPlainTextEdit>

// The score text box Text3. A recorded score is one long line without
// breaks; laid out as a single paragraph it would be laid out anew on every
// key press, which costs tens of milliseconds once a score is long. So the
// box shows the score in rows of a fixed number of characters, each its own
// paragraph, and appends to the last row when the score grows. The rows are
// only for the eye: the score is the rows joined with nothing between them,
// so a line break typed or pasted into the box is dropped, as line breaks in
// a score file are.
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
    int rowLength() const { return rowLength_; }

signals:
    // The user changed the text in the box.
    void scoreEdited(const QString &score);

private:
    QString rows(const QString &text, int firstRowRoom) const;
    QString joinedDocument() const;
    int documentPosition(int scoreIndex, bool atRowEnd) const;

    QString score_;
    int rowLength_ = 48;
    bool updating_ = false;
};
