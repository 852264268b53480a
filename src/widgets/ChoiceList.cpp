#include "widgets/ChoiceList.h"

#include <QAbstractItemView>
#include <QKeyEvent>

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
