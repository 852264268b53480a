#include "core/WindowState.h"

void WindowState::setXSWB(const QString &text)
{
    xswb_ = text;
    emit xswbChanged(text);
}

void WindowState::setFJWZ(const QString &text)
{
    fjwz_ = text;
    emit fjwzChanged(text);
}

void WindowState::YXYZ()
{
    ++yxyzCount_;
    emit keyboardFocusRequested();
}
