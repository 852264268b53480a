#pragma once

#include <QToolButton>

class MidiInputs;

// MidiIn "MIDI键盘": which MIDI keyboards (and other programs' MIDI) play
// into the program. Its menu offers every input, none, or one of the ports
// present, and marks the ports connected; a port chosen by name that is not
// there now stays marked as the choice, "not connected". Chosen without
// taking the focus; Tab reaches it. A screen reader's actions open the menu
// as Space does.
class MidiInputButton : public QToolButton {
    Q_OBJECT
public:
    explicit MidiInputButton(MidiInputs &inputs, QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("MIDI键盘"); }
    static QString allText() { return QStringLiteral("连接所有MIDI键盘"); }
    static QString noneText() { return QStringLiteral("不用MIDI键盘"); }
    static QString connectedMark() { return QStringLiteral("（已连接）"); }
    static QString unpluggedMark() { return QStringLiteral("（未连接）"); }

signals:
    // A choice was made in the menu: the window gives the keyboard back.
    void choiceMade();

private:
    void fillMenu();
    void showConnected();

    MidiInputs &inputs_;
};
