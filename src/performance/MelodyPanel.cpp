#include "performance/MelodyPanel.h"

#include "performance/MelodyVoices.h"
#include "widgets/AccessibleName.h"
#include "widgets/ChoiceList.h"
#include "midiport/DeviceListBox.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int kRow = 28;       // row pitch
constexpr int kTop = 4;
constexpr int kListHeight = 24;
constexpr int kLabelX = 6;
constexpr int kLabelWidth = 44;
constexpr int kListX = 52;

QRect row(int r, int x, int width) { return QRect(x, kTop + kRow * r, width, kListHeight); }
}  // namespace

MelodyPanel::MelodyPanel(MelodyVoices &voices, MidiDeviceList &devices, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Jiezhou(0)"));
    setFixedSize(391, 146);

    QLabel *Label10 = addLabel(QStringLiteral("Label10"), QStringLiteral("设  备"), row(0, kLabelX, kLabelWidth));
    ComDevies = addList(QStringLiteral("ComDevies"), {}, row(0, kListX, 333));
    nameControl(ComDevies, QStringLiteral("设备"), Label10);

    static const char *const voiceNames[] = {"乐器一", "乐器二", "乐器三"};
    const QStringList instruments = MelodyVoices::instrumentTexts();
    const QStringList volumes = MelodyVoices::volumeTexts();
    for (int i = 0; i < MelodyVoices::kVoices; ++i) {
        const QString voice = QString::fromUtf8(voiceNames[i]);
        QLabel *name = addLabel(QStringLiteral("Label4(%1)").arg(i + 1), voice, row(1 + i, kLabelX, kLabelWidth));
        ComSounds[size_t(i)] = addList(QStringLiteral("ComSounds(%1)").arg(i), instruments,
                                       row(1 + i, kListX, 210));
        nameControl(ComSounds[size_t(i)], voice, name);
        QLabel *volume = addLabel(QStringLiteral("Label4(%1)").arg(i + 4), QStringLiteral("音量"),
                                  row(1 + i, 270, 32));
        Zxlyl[size_t(i)] = addList(QStringLiteral("Zxlyl(%1)").arg(i), volumes, row(1 + i, 304, 81));
        nameControl(Zxlyl[size_t(i)], voice + QStringLiteral("音量"), volume);
    }

    QLabel *Label6 = addLabel(QStringLiteral("Label6"), QStringLiteral("速 度"), row(4, kLabelX, kLabelWidth));
    SD = addList(QStringLiteral("SD"), MelodyVoices::tempoTexts(), row(4, kListX, 110));
    nameControl(SD, QStringLiteral("速度"), Label6);
    QLabel *Label7 = addLabel(QStringLiteral("Label7"), QStringLiteral("音  调"), row(4, 168, 40));
    YD = addList(QStringLiteral("YD"), MelodyVoices::keyTexts(), row(4, 210, 54));
    nameControl(YD, QStringLiteral("音调"), Label7);

    Command2 = new QPushButton(QStringLiteral("效果欣赏"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setToolTip(QStringLiteral("点击我即可欣赏Quorvane用本电子琴编辑的音乐！"));
    Command2->setGeometry(row(4, 270, 115));
    Command2->setAutoDefault(false);
    connect(Command2, &QPushButton::clicked, this, &MelodyPanel::webPageRequested);

    // A choice in a list goes to the controller; the controller's positions
    // come back to the lists, whoever made the choice.
    for (int i = 0; i < MelodyVoices::kVoices; ++i) {
        connect(ComSounds[size_t(i)], &QComboBox::activated, &voices,
                [&voices, i](int position) { voices.selectInstrument(i, position); });
        connect(Zxlyl[size_t(i)], &QComboBox::activated, &voices,
                [&voices, i](int position) { voices.selectVolume(i, position); });
    }
    connect(SD, &QComboBox::activated, &voices, &MelodyVoices::selectTempo);
    connect(YD, &QComboBox::activated, &voices, &MelodyVoices::selectKey);
    connect(static_cast<ChoiceList *>(YD), &ChoiceList::typedInto, &voices, &MelodyVoices::keyTextTyped);
    connect(&voices, &MelodyVoices::instrumentPositionChanged, this,
            [this](int voice, int position) { ComSounds[size_t(voice)]->setCurrentIndex(position); });
    connect(&voices, &MelodyVoices::volumePositionChanged, this,
            [this](int voice, int position) { Zxlyl[size_t(voice)]->setCurrentIndex(position); });
    connect(&voices, &MelodyVoices::tempoPositionChanged, SD, &QComboBox::setCurrentIndex);
    connect(&voices, &MelodyVoices::keyPositionChanged, YD, &QComboBox::setCurrentIndex);
    for (int i = 0; i < MelodyVoices::kVoices; ++i) {
        ComSounds[size_t(i)]->setCurrentIndex(voices.instrumentPosition(i));
        Zxlyl[size_t(i)]->setCurrentIndex(voices.volumePosition(i));
    }
    SD->setCurrentIndex(voices.tempoPosition());
    YD->setCurrentIndex(voices.keyPosition());

    // Choosing a device should not leave the keyboard dumb.
    showDeviceList(ComDevies, devices, [this] { emit choiceMade(); });
}

QLabel *MelodyPanel::addLabel(const QString &name, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QComboBox *MelodyPanel::addList(const QString &name, const QStringList &items, const QRect &geometry)
{
    auto *list = new ChoiceList(this);
    list->setObjectName(name);
    list->addItems(items);
    list->setCurrentIndex(-1);
    list->setMaxVisibleItems(20);
    list->setGeometry(geometry);
    return list;
}

void MelodyPanel::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    // A click on the panel's background gives the keyboard back.
    emit choiceMade();
}
