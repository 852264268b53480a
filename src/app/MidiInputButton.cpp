#include "app/MidiInputButton.h"

#include "platform/midi/MidiInputs.h"

#include <QActionGroup>
#include <QMenu>

MidiInputButton::MidiInputButton(MidiInputs &inputs, QWidget *parent) : QToolButton(parent), inputs_(inputs)
{
    setObjectName(QStringLiteral("MidiIn"));
    setText(caption());
    setFocusPolicy(Qt::NoFocus);
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
    if (ports.isEmpty())
        m->addAction(QStringLiteral("没有找到MIDI输入"))->setEnabled(false);
    for (const MidiInputPort &port : ports) {
        const QString name = MidiInputs::choiceName(port.name);
        const bool chosen = choice.kind == MidiInputChoice::Kind::Named && choice.name == name;
        add(inputs_.isConnected(port.name) ? port.name + connectedMark() : port.name, chosen,
            MidiInputChoice::named(name));
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
