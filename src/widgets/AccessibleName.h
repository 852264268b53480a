#pragma once

#include <QString>

class QLabel;
class QWidget;

// The name a screen reader says for a control. Where the window shows a
// label beside the control, the label becomes its buddy, so the two are
// read together. A drop-down list's open list and its text box (an editable
// list) get the same name, and so does the label shown beside a list,
// which is what screen readers read for it.
//
// On Linux a drop-down list tells its current entry as its name and its
// label through the label's buddy relation, which is what screen readers
// there read. A list without a label shown beside it therefore gets a
// hidden label of its own with the name.
void nameControl(QWidget *control, const QString &name, QLabel *label = nullptr);
