#include "performance/KeyboardButton.h"

#include "performance/KeyboardEngine.h"

KeyboardButton::KeyboardButton(KeyboardEngine &engine, QWidget *parent)
    : PlayingKeyButton(QStringLiteral("键盘"), parent), engine_(engine)
{
    setObjectName(QStringLiteral("SFYXYZ"));
    setToolTip(QStringLiteral("当键盘演奏无声时用此键恢复键盘演奏功能！"));
    connect(this, &QPushButton::clicked, &engine_, &KeyboardEngine::buttonClicked);
    connect(&engine_, &KeyboardEngine::focusRequested, this, &KeyboardButton::takeFocus);
}

void KeyboardButton::takeFocus()
{
    setEnabled(true);
    setFocus(Qt::OtherFocusReason);
}

void KeyboardButton::keyDown(int keyCode)
{
    engine_.keyPressed(keyCode);
}

void KeyboardButton::focusInEvent(QFocusEvent *event)
{
    QPushButton::focusInEvent(event);
    engine_.focusGained();
}

void KeyboardButton::focusOutEvent(QFocusEvent *event)
{
    QPushButton::focusOutEvent(event);
    engine_.focusLost();
}
