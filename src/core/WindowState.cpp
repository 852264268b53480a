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

void WindowState::setText3(const QString &text)
{
    if (text == text3_)
        return;
    text3_ = text;
    emit text3Changed(text);
}

void WindowState::selectText3(int start, int length)
{
    selStart_ = start;
    selLength_ = length;
    emit text3SelectionRequested(start, length);
}
