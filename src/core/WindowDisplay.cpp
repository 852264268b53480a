#include "core/WindowDisplay.h"

void WindowDisplay::setXSWB(const QString &text)
{
    xswb_ = text;
    emit xswbChanged(text);
}

void WindowDisplay::setFJWZ(const QString &text)
{
    fjwz_ = text;
    emit fjwzChanged(text);
}

void WindowDisplay::setText3(const QString &text)
{
    if (text == text3_)
        return;
    text3_ = text;
    emit text3Changed(text);
}

void WindowDisplay::selectText3(int start, int length)
{
    emit text3SelectionRequested(start, length);
}
