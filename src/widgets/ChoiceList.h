#pragma once

#include <QComboBox>

// A drop-down list whose choice is made by clicking or by the arrow and
// Enter keys only. Typed letters and digits never pick an entry (Qt's
// keyboard search would, silently, in the list and in its popup): they are
// swallowed and announced by typedInto(). An entry wider than the box is
// shown up to its last whole character and "…", and whole in its tooltip
// and in the open list.
class ChoiceList : public QComboBox {
    Q_OBJECT
public:
    explicit ChoiceList(QWidget *parent = nullptr);

    // True for a key press that types a character (anything but a blank).
    static bool typesText(const QKeyEvent *event);

    void showPopup() override;

signals:
    void typedInto();

protected:
    void initStyleOption(QStyleOptionComboBox *option) const override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
