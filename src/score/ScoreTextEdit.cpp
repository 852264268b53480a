#include "score/ScoreTextEdit.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

ScoreTextEdit::ScoreTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setUndoRedoEnabled(false);
    setWordWrapMode(QTextOption::WrapAnywhere);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (updating_)
            return;
        score_ = joinedDocument();
        emit scoreEdited(score_);
    });
}

QString ScoreTextEdit::rows(const QString &text, int firstRowRoom) const
{
    QString out;
    out.reserve(text.size() + text.size() / rowLength_ + 1);
    int pos = 0;
    int room = firstRowRoom;
    while (pos < text.size()) {
        if (room <= 0) {
            out += QLatin1Char('\n');
            room = rowLength_;
        }
        const int n = qMin(room, int(text.size()) - pos);
        out += QStringView(text).mid(pos, n);
        pos += n;
        room -= n;
    }
    return out;
}

void ScoreTextEdit::setScore(const QString &score)
{
    if (score == score_)
        return;
    // The row length follows the box's width, measured once it has one.
    const int charWidth = qMax(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
    const int width = viewport()->width() - 2 * int(document()->documentMargin());
    if (width > charWidth * 8)
        rowLength_ = width / charWidth;

    updating_ = true;
    if (!score_.isEmpty() && score.startsWith(score_)) {
        const QString added = score.mid(score_.size());
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        const int room = rowLength_ - cursor.block().length() + 1;
        cursor.insertText(rows(added, room));
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        setPlainText(rows(score, rowLength_));
    }
    score_ = score;
    updating_ = false;
}

QString ScoreTextEdit::joinedDocument() const
{
    QString text;
    for (QTextBlock b = document()->firstBlock(); b.isValid(); b = b.next())
        text += b.text();
    return text;
}

int ScoreTextEdit::documentPosition(int scoreIndex, bool atRowEnd) const
{
    int passed = 0;
    for (QTextBlock b = document()->firstBlock(); b.isValid(); b = b.next()) {
        const int len = b.length() - 1;  // without the paragraph end
        // An index on a row boundary is the end of one row or the start of the next.
        if (scoreIndex < passed + len || (scoreIndex == passed + len && (atRowEnd || !b.next().isValid())))
            return b.position() + (scoreIndex - passed);
        passed += len;
    }
    return document()->characterCount() - 1;
}

void ScoreTextEdit::selectScore(int start, int length)
{
    start = qBound(0, start, int(score_.size()));
    const int end = qBound(start, start + length, int(score_.size()));
    QTextCursor cursor = textCursor();
    cursor.setPosition(documentPosition(start, false));
    cursor.setPosition(documentPosition(end, end > start), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}
