#include "widgets/PlayingKeyButton.h"

#include "widgets/KeyCodes.h"

#include <QKeyEvent>
#include <QShortcut>

namespace {
bool withCommandModifier(const QKeyEvent *e)
{
    return e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}
}  // namespace

PlayingKeyButton::PlayingKeyButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
{
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setFocusPolicy(Qt::StrongFocus);
    setAutoDefault(false);
    setDefault(false);
    setAccessibleDescription(focusKeysText());
    // Esc reaches the shortcut only from the other controls: on the button
    // itself every plain key belongs to the player.
    auto *back = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    back->setContext(Qt::WindowShortcut);
    connect(back, &QShortcut::activated, this, &QPushButton::click);
}

QString PlayingKeyButton::focusKeysText()
{
    return QStringLiteral("按 Ctrl+Tab 转到窗口中的其他控件，按 Esc 回到键盘演奏");
}

bool PlayingKeyButton::event(QEvent *event)
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
        // Tab would otherwise move the focus before keyPressEvent sees it;
        // with Ctrl it does move it, to the window's other controls.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            if (key->modifiers() & Qt::ControlModifier) {
                const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
                focusNextPrevChild(!back);
                key->accept();
                return true;
            }
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

void PlayingKeyButton::keyPressEvent(QKeyEvent *event)
{
    // The base class is never called: Space and Enter must not click the
    // button and no key may move the focus.
    event->accept();
    if (event->isAutoRepeat() || withCommandModifier(event))
        return;
    const int code = KeyCodes::fromEvent(event);
    if (code != 0)
        keyDown(code);
}

void PlayingKeyButton::keyReleaseEvent(QKeyEvent *event)
{
    event->accept();
}
