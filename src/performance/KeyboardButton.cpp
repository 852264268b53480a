#include "performance/KeyboardButton.h"

#include "performance/KeyboardEngine.h"
#include "platform/KeyCodes.h"

#include <QKeyEvent>

namespace {
bool withCommandModifier(const QKeyEvent *e)
{
    return e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}
}  // namespace

KeyboardButton::KeyboardButton(KeyboardEngine &engine, QWidget *parent)
    : QPushButton(QStringLiteral("键盘"), parent), engine_(engine)
{
    setObjectName(QStringLiteral("SFYXYZ"));
    setToolTip(QStringLiteral("当键盘演奏无声时用此键恢复键盘演奏功能！"));
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setFocusPolicy(Qt::StrongFocus);
    setAutoDefault(false);
    setDefault(false);
    connect(this, &QPushButton::clicked, &engine_, &KeyboardEngine::buttonClicked);
    connect(&engine_, &KeyboardEngine::focusRequested, this, &KeyboardButton::takeFocus);
}

void KeyboardButton::takeFocus()
{
    setEnabled(true);
    setFocus(Qt::OtherFocusReason);
}

bool KeyboardButton::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Plain keys belong to the player, not to shortcuts of the window.
        auto *key = static_cast<QKeyEvent *>(event);
        if (!withCommandModifier(key)) {
            key->accept();
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        // Tab would otherwise move the focus before keyPressEvent sees it.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QPushButton::event(event);
}

void KeyboardButton::keyPressEvent(QKeyEvent *event)
{
    // The base class is never called: Space and Enter must not click the
    // button and no key may move the focus.
    event->accept();
    if (withCommandModifier(event))
        return;
    const int code = KeyCodes::fromEvent(event);
    if (code != 0)
        engine_.keyPressed(code);
}

void KeyboardButton::keyReleaseEvent(QKeyEvent *event)
{
    event->accept();
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
