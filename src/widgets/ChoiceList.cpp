#include "widgets/ChoiceList.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolTip>

ChoiceList::ChoiceList(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    view()->installEventFilter(this);
}

bool ChoiceList::typesText(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    for (const QChar c : text) {
        if (!c.isPrint() || c.isSpace())
            return false;
    }
    return true;
}

void ChoiceList::initStyleOption(QStyleOptionComboBox *option) const
{
    QComboBox::initStyleOption(option);
    if (option->editable || option->currentText.isEmpty())
        return;
    // The style draws the text one pixel inside the edit field at each side
    // and clips it, which can cut a Chinese character in half.
    QRect field = style()->subControlRect(QStyle::CC_ComboBox, option, QStyle::SC_ComboBoxEditField, this);
    if (!option->currentIcon.isNull())
        field.setLeft(field.left() + option->iconSize.width() + 4);
    option->currentText = option->fontMetrics.elidedText(option->currentText, Qt::ElideRight, field.width() - 2);
}

bool ChoiceList::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        QStyleOptionComboBox shown;
        initStyleOption(&shown);
        if (shown.currentText != currentText()) {
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), currentText(), this);
            return true;
        }
    }
    return QComboBox::event(event);
}

void ChoiceList::showPopup()
{
    QAbstractItemView *list = view();
    const int widest = list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width()
                       + 2 * list->frameWidth() + 4;
    list->setMinimumWidth(qMax(list->minimumWidth(), widest));
    QComboBox::showPopup();
}

void ChoiceList::keyPressEvent(QKeyEvent *event)
{
    if (typesText(event)) {
        event->accept();
        emit typedInto();
        return;
    }
    QComboBox::keyPressEvent(event);
}

bool ChoiceList::eventFilter(QObject *watched, QEvent *event)
{
    // The open popup searches its entries as well; it only moves the
    // highlight, but Enter would then pick the found entry.
    if (watched == view() && event->type() == QEvent::KeyPress
        && typesText(static_cast<QKeyEvent *>(event)))
        return true;
    return QComboBox::eventFilter(watched, event);
}
