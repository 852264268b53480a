#include "widgets/AccessibleName.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

void nameControl(QWidget *control, const QString &name, QLabel *label)
{
    if (!control)
        return;
    control->setAccessibleName(name);
    auto *list = qobject_cast<QComboBox *>(control);
    if (!list) {
        if (label)
            label->setBuddy(control);
        return;
    }
    list->view()->setAccessibleName(name);
    if (QLineEdit *text = list->lineEdit())
        text->setAccessibleName(name);
    if (!label && control->parentWidget()) {
        // A sibling: the relation is looked for among the list's siblings.
        label = new QLabel(name, control->parentWidget());
        label->setObjectName(control->objectName() + QStringLiteral("_name"));
        label->hide();
    }
    if (label) {
        label->setBuddy(control);
        // The list is read by its label; a short one shown ("音量" beside
        // each of three lists) says the whole name to a screen reader.
        if (QString(label->text()).remove(QLatin1Char(' ')) != name)
            label->setAccessibleName(name);
    }
}
