#include "app/MidiInputButton.h"

#include "platform/midi/MidiInputs.h"

#include <QAccessibleWidget>
#include <QActionGroup>
#include <QMenu>
#include <QTimer>

#include <algorithm>

namespace {

// Qt offers only "ShowMenu" for a button whose menu opens at once, and that
// action does nothing for it; here both actions open the menu, as Space does.
class MidiInputButtonAccessible : public QAccessibleWidget {
public:
    explicit MidiInputButtonAccessible(QToolButton *button) : QAccessibleWidget(button, QAccessible::ButtonMenu) { }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.hasPopup = true;
        return s;
    }
    QStringList actionNames() const override
    {
        if (!widget()->isEnabled())
            return QAccessibleWidget::actionNames();
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (name != showMenuAction() && name != pressAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        if (!widget()->isEnabled())
            return;
        // Once the caller has its answer: the menu runs an event loop of its own.
        auto *button = static_cast<QToolButton *>(widget());
        QTimer::singleShot(0, button, [button] { button->showMenu(); });
    }
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className == QLatin1String("MidiInputButton") && object && object->isWidgetType())
        return new MidiInputButtonAccessible(static_cast<QToolButton *>(object));
    return nullptr;
}

}  // namespace

MidiInputButton::MidiInputButton(MidiInputs &inputs, QWidget *parent) : QToolButton(parent), inputs_(inputs)
{
    static const bool accessible = (QAccessible::installFactory(&accessibleFor), true);
    Q_UNUSED(accessible);
    setObjectName(QStringLiteral("MidiIn"));
    setText(caption());
    // Tab reaches it (Space opens the menu); a click leaves the keyboard playing.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(QStringLiteral("选择MIDI键盘"));
    setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("MidiInMenu"));
    setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, &MidiInputButton::fillMenu);
    connect(&inputs, &MidiInputs::changed, this, &MidiInputButton::showConnected);
    fillMenu();
    showConnected();
}

void MidiInputButton::fillMenu()
{
    QMenu *m = menu();
    m->clear();
    auto *group = new QActionGroup(m);
    const MidiInputChoice choice = inputs_.choice();
    const auto add = [this, m, group](const QString &text, bool checked, const MidiInputChoice &c) {
        QAction *a = m->addAction(text);
        a->setCheckable(true);
        a->setChecked(checked);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, c] {
            inputs_.setChoice(c);
            emit choiceMade();
        });
    };
    add(allText(), choice.kind == MidiInputChoice::Kind::All, MidiInputChoice::all());
    add(noneText(), choice.kind == MidiInputChoice::Kind::None, MidiInputChoice::none());
    m->addSeparator();
    const QVector<MidiInputPort> ports = inputs_.ports();
    const auto chosen = [&choice](const MidiInputPort &port) {
        return choice.kind == MidiInputChoice::Kind::Named && choice.name == MidiInputs::choiceName(port.name);
    };
    // A port chosen by name and unplugged (or a name given on the command
    // line) is still the choice: it plays again when it comes back.
    if (choice.kind == MidiInputChoice::Kind::Named && std::none_of(ports.begin(), ports.end(), chosen))
        add(inputs_.connectedNames().isEmpty() ? choice.name + unpluggedMark() : choice.name, true, choice);
    if (ports.isEmpty())
        m->addAction(QStringLiteral("没有找到MIDI输入"))->setEnabled(false);
    for (const MidiInputPort &port : ports) {
        QString text = port.name;
        if (inputs_.isConnected(port.name))
            text += connectedMark();
        else if (chosen(port))
            text += unpluggedMark();  // there, but it could not be opened
        add(text, chosen(port), MidiInputChoice::named(MidiInputs::choiceName(port.name)));
    }
}

void MidiInputButton::showConnected()
{
    const QStringList connected = inputs_.connectedNames();
    QString tip = QStringLiteral("用USB MIDI键盘或其他程序的MIDI演奏，点击选择连接哪些MIDI输入！");
    tip += connected.isEmpty() ? QStringLiteral("\n现在没有连接MIDI键盘。")
                               : QStringLiteral("\n已连接：") + connected.join(QStringLiteral("，"));
    setToolTip(tip);
}
