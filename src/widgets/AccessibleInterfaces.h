#pragma once

#include <QAccessible>

class QWidget;

// What screen readers are told about the program's buttons and windows,
// where Qt's own answers differ from what the keys and the eyes say:
//
// - An option button, check box or toggle button told "toggle" is clicked,
//   as Space clicks it, so that what its click does happens (a panel is
//   shown, a rhythm starts). Qt only flips its mark, and the program, which
//   acts on clicks, never hears of it.
// - A window reports itself as a frame, or as a dialog where
//   setAccessibleWindowRole() says so. Qt reports a window built on a
//   plain QWidget as a filler.
//
// Installed once, after the QApplication is made; later calls do nothing.
void installAccessibleInterfaces();

// The role a window of the program reports (QAccessible::Window by default).
// Called first thing in the window's constructor, before anything asks.
void setAccessibleWindowRole(QWidget *window, QAccessible::Role role);
