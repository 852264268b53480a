#include "score/ScoreTextEdit.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <cmath>

namespace {
// Ends a row the box broke; never part of the score.
constexpr QChar kRowMark(0x200B);
constexpr QChar kParagraphEnd(QChar::ParagraphSeparator);

bool endsWithMark(const QTextBlock &b)
{
    const QString t = b.text();
    return !t.isEmpty() && t.back() == kRowMark;
}
}  // namespace

ScoreTextEdit::ScoreTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setWordWrapMode(QTextOption::WrapAnywhere);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (updating_)
            return;
        score_ = scoreOf(toPlainText());
        mark_ = {0, 0};  // the user's edit moved what the mark stood on
        setExtraSelections({});
        emit scoreEdited(score_);
    });
}

QString ScoreTextEdit::scoreOf(QString shown)
{
    shown.replace(kParagraphEnd, QLatin1Char('\n'));
    shown.replace(QString(kRowMark) + QLatin1Char('\n'), QString());
    shown.remove(kRowMark);
    return shown;
}

QString ScoreTextEdit::rows(const QString &text, int firstRowRoom) const
{
    QString out;
    out.reserve(text.size() + 2 * (text.size() / rowLength_ + 1));
    int room = firstRowRoom;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            out += c;  // the score's own break
            room = rowLength_;
            continue;
        }
        if (room <= 0) {
            out += kRowMark;
            out += QLatin1Char('\n');
            room = rowLength_;
        }
        out += c;
        --room;
    }
    return out;
}

bool ScoreTextEdit::measureRowLength()
{
    // As many characters as fit beside the cursor, so that the widget never
    // wraps a row itself and leaves its last character alone on a line.
    const qreal charWidth = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('M'));
    const qreal width = viewport()->width() - 2 * document()->documentMargin() - cursorWidth() - 1;
    if (charWidth <= 0 || width <= charWidth * 8)
        return false;
    const int fit = int(std::floor(width / charWidth));
    if (fit == rowLength_)
        return false;
    rowLength_ = fit;
    return true;
}

void ScoreTextEdit::setScore(const QString &score)
{
    if (score == score_)
        return;
    measureRowLength();

    updating_ = true;
    if (!score_.isEmpty() && score.startsWith(score_)) {
        const QString added = score.mid(score_.size());
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        const int room = rowLength_ - cursor.block().length() + 1;
        cursor.insertText(rows(added, room));
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        replaceShown(rows(score, rowLength_));
        mark_ = {0, 0};
        setExtraSelections({});
    }
    score_ = score;
    updating_ = false;
}

// Replaces the whole text as one step of the undo history, so that a score
// box filled anew (opened, handed back, written over) can be undone.
void ScoreTextEdit::replaceShown(const QString &shown)
{
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(shown);
}

void ScoreTextEdit::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    if (measureRowLength() && !score_.isEmpty()) {
        updating_ = true;
        replaceShown(rows(score_, rowLength_));
        updating_ = false;
        showMark();
    }
}

QMimeData *ScoreTextEdit::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(scoreOf(textCursor().selectedText()));
    return data;
}

void ScoreTextEdit::keyPressEvent(QKeyEvent *event)
{
    // Ctrl+Tab (Ctrl+Shift+Tab) goes on to the next (previous) control, as
    // it does from the keyboard button; plain Tab does so by itself.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        QWidget::focusNextPrevChild(!(event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier)));
        event->accept();
        return;
    }
    // Deleting across a row the box broke deletes the score's character on
    // the other side of it, not the invisible break.
    QTextCursor c = textCursor();
    if (!c.hasSelection() && event->modifiers() == Qt::NoModifier) {
        const QTextBlock b = c.block();
        if (event->key() == Qt::Key_Backspace && c.atBlockStart() && endsWithMark(b.previous())) {
            c.setPosition(b.previous().position() + b.previous().length() - 2);
            setTextCursor(c);
        } else if (event->key() == Qt::Key_Delete && endsWithMark(b)
                   && c.position() >= b.position() + b.length() - 2 && b.next().isValid()) {
            c.setPosition(b.next().position());
            setTextCursor(c);
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

int ScoreTextEdit::documentPosition(int scoreIndex, bool atRowEnd) const
{
    int passed = 0;
    for (QTextBlock b = document()->firstBlock(); b.isValid(); b = b.next()) {
        const bool broken = endsWithMark(b);
        const int len = b.length() - 1 - (broken ? 1 : 0);  // score characters of the row
        const bool last = !b.next().isValid();
        // An index on a broken row's end is the end of one row or the start of the next.
        if (scoreIndex < passed + len
            || (scoreIndex == passed + len && (!broken || atRowEnd || last)))
            return b.position() + (scoreIndex - passed);
        passed += len + (broken ? 0 : 1);  // a typed break is a character of the score
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

void ScoreTextEdit::markScore(int start, int length)
{
    start = qBound(0, start, int(score_.size()));
    mark_ = {start, qBound(0, length, int(score_.size()) - start)};
    showMark();
}

void ScoreTextEdit::showMark()
{
    if (mark_.second == 0) {
        setExtraSelections({});
        return;
    }
    const int end = mark_.first + mark_.second;
    QTextEdit::ExtraSelection marked;
    marked.cursor = QTextCursor(document());
    marked.cursor.setPosition(documentPosition(mark_.first, false));
    marked.cursor.setPosition(documentPosition(end, true), QTextCursor::KeepAnchor);
    marked.format.setBackground(palette().brush(QPalette::Highlight));
    marked.format.setForeground(palette().brush(QPalette::HighlightedText));
    setExtraSelections({marked});
    scrollToBlock(marked.cursor.block());
}

// Scrolls as little as brings the block into view, without moving the
// user's cursor (the vertical scroll bar counts rows: no row wraps).
void ScoreTextEdit::scrollToBlock(const QTextBlock &block)
{
    QScrollBar *bar = verticalScrollBar();
    const int line = block.firstLineNumber();
    const int lineHeight = qMax(1, QFontMetrics(font()).lineSpacing());
    const int visible = qMax(1, viewport()->height() / lineHeight);
    if (line < bar->value())
        bar->setValue(line);
    else if (line >= bar->value() + visible)
        bar->setValue(line - visible + 1);
}
