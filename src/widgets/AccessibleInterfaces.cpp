#include "widgets/AccessibleInterfaces.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVariant>

namespace {

const char kRoleProperty[] = "dzqAccessibleRole";

// "&Open" reads "Open", "&&" reads "&".
QString withoutMnemonic(const QString &text)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&'))
                plain += text[++i];
            continue;
        }
        plain += text[i];
    }
    return plain;
}

class ButtonAccessible : public QAccessibleWidget {
public:
    explicit ButtonAccessible(QAbstractButton *button) : QAccessibleWidget(button) {}

    QAccessible::Role role() const override
    {
        if (menuButton())
            return QAccessible::ButtonMenu;
        if (qobject_cast<QRadioButton *>(button()))
            return QAccessible::RadioButton;
        if (!button()->isCheckable())
            return QAccessible::Button;
        return button()->autoExclusive() ? QAccessible::RadioButton : QAccessible::CheckBox;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        QAbstractButton *b = button();
        s.checkable = b->isCheckable();
        s.checked = b->isChecked();
        if (auto *box = qobject_cast<QCheckBox *>(b))
            s.checkStateMixed = box->checkState() == Qt::PartiallyChecked;
        s.pressed = b->isDown();
        if (auto *push = qobject_cast<QPushButton *>(b)) {
            s.defaultButton = push->isDefault();
            s.hasPopup = push->menu() != nullptr;
        }
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            QString name = widget()->accessibleName();
            if (name.isEmpty())
                name = withoutMnemonic(button()->text());
            if (!name.isEmpty())
                return name;
        }
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled()) {
            if (menuButton())
                names << showMenuAction();
            else
                names << (button()->isCheckable() ? toggleAction() : pressAction());
        }
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (!widget()->isEnabled())
            return;
        if (action == showMenuAction() && menuButton()) {
            menuButton()->showMenu();
        } else if (action == pressAction() || action == toggleAction()) {
            // A click, as Space gives, a moment later: the screen reader's
            // call returns before a dialog the click opens starts waiting.
            button()->animateClick();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

private:
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
    QPushButton *menuButton() const
    {
        auto *push = qobject_cast<QPushButton *>(widget());
        return push && push->menu() ? push : nullptr;
    }
};

class WindowAccessible : public QAccessibleWidget {
public:
    explicit WindowAccessible(QWidget *window) : QAccessibleWidget(window) {}

    QAccessible::Role role() const override
    {
        if (!widget()->isWindow())
            return QAccessible::Client;
        const QVariant told = widget()->property(kRoleProperty);
        return told.isValid() ? QAccessible::Role(told.toInt()) : QAccessible::Window;
    }
};

QAccessibleInterface *programInterface(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    // Asked for the object's own class only. A widget inside QWidget's
    // destructor is a plain QWidget by then, and Qt keeps those out of
    // its cache; so do we, by leaving plain QWidgets to Qt.
    const QMetaObject *type = object->metaObject();
    if (type == &QWidget::staticMetaObject || className != QLatin1String(type->className()))
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (auto *button = qobject_cast<QAbstractButton *>(object)) {
        // Tool buttons, with their menus, stay Qt's.
        if (qobject_cast<QToolButton *>(object))
            return nullptr;
        return new ButtonAccessible(button);
    }
    // The program's own windows, built directly on QWidget.
    if (type->superClass() == &QWidget::staticMetaObject
        && (widget->isWindow() || widget->property(kRoleProperty).isValid()))
        return new WindowAccessible(widget);
    return nullptr;
}

}  // namespace

void installAccessibleInterfaces()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // Asked before Qt's own: the factory installed last is asked first.
    QAccessible::installFactory(programInterface);
}

void setAccessibleWindowRole(QWidget *window, QAccessible::Role role)
{
    if (window)
        window->setProperty(kRoleProperty, int(role));
}
