#pragma once

#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QPushButton;
class MelodyVoices;
class MidiDeviceList;

// Jiezhou(0): the melody panel with the device list ComDevies, the
// instrument lists ComSounds(0..2), the volume lists Zxlyl(0..2), the tempo
// list SD, the key list YD and the button Command2 "效果欣赏". The lists are
// choose-only; what a choice does lies in MelodyVoices and MidiDeviceList.
class MelodyPanel : public QWidget {
    Q_OBJECT
public:
    MelodyPanel(MelodyVoices &voices, MidiDeviceList &devices, QWidget *parent = nullptr);

    // ComDevies: the MIDI output devices, beside "设  备"
    QComboBox *ComDevies = nullptr;
    // ComSounds(i): the instrument of melody voice i, "乐器一" .. "乐器三"
    std::array<QComboBox *, 3> ComSounds{};
    std::array<QComboBox *, 3> Zxlyl{};  // Zxlyl: volume of each voice
    QComboBox *SD = nullptr;             // SD: tempo
    QComboBox *YD = nullptr;             // YD: key (transposition)
    QPushButton *Command2 = nullptr;     // "效果欣赏": the demo web page

signals:
    // A choice was made in the panel: the window gives the keyboard back.
    void choiceMade();
    // Command2 was clicked: the main window opens the web page.
    void webPageRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QLabel *addLabel(const QString &name, const QString &text, const QRect &geometry);
    QComboBox *addList(const QString &name, const QStringList &items, const QRect &geometry);
};
