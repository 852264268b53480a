#include "chords/ChordPanel.h"

#include "chords/ChordAccompaniment.h"
#include "widgets/AccessibleName.h"
#include "widgets/ChoiceList.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {

// Grid of the options inside Picture3: three columns, four rows.
constexpr int kBoxX = 4, kBoxY = 4, kBoxW = 228, kBoxH = 138;
constexpr int kCellW = 74, kCellH = 33, kCellX0 = 4, kCellY0 = 2;
// The lists beside it.
constexpr int kListX = 240, kListW = 147, kListH = 22;

QComboBox *makeList(QWidget *parent, const QString &name, const QStringList &entries)
{
    auto *box = new ChoiceList(parent);
    box->setObjectName(name);
    box->addItems(entries);
    box->setCurrentIndex(-1);
    box->setMaxVisibleItems(16);
    return box;
}

}  // namespace

ChordPanel::ChordPanel(ChordAccompaniment &chords, QWidget *parent)
    : QWidget(parent), chords_(chords)
{
    setObjectName(QStringLiteral("Jiezhou(1)"));
    setFixedSize(kWidth, kHeight);

    Picture3_ = new QFrame(this);
    Picture3_->setObjectName(QStringLiteral("Picture3"));
    Picture3_->setFrameShape(QFrame::Panel);
    Picture3_->setFrameShadow(QFrame::Sunken);
    Picture3_->setGeometry(kBoxX, kBoxY, kBoxW, kBoxH);

    group_ = new QButtonGroup(this);
    group_->setExclusive(true);
    for (int i = 0; i < ChordAccompaniment::kOptionCount; ++i) {
        auto *button = new QRadioButton(ChordAccompaniment::optionCaption(i), Picture3_);
        button->setObjectName(QStringLiteral("Option5(%1)").arg(i));
        button->setGeometry(kCellX0 + (i % 3) * kCellW, kCellY0 + (i / 3) * kCellH, kCellW - 4, kCellH - 4);
        // Tab reaches it; a click leaves the keyboard playing.
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(optionName(i));
        group_->addButton(button, i);
        Option5_[size_t(i)] = button;
        connect(button, &QRadioButton::clicked, this, [this, i] {
            chords_.chooseOption(i);
            showOption(chords_.chosenOption());  // the controller decides
        });
    }
    Check6_ = new QPushButton(QStringLiteral("启动"), Picture3_);
    Check6_->setObjectName(QStringLiteral("Check6"));
    Check6_->setGeometry(kCellX0 + 2 * kCellW, kCellY0 + 3 * kCellH, kCellW - 6, kCellH - 4);
    Check6_->setAccessibleName(QStringLiteral("启动和弦"));
    connect(Check6_, &QPushButton::clicked, &chords_, &ChordAccompaniment::pressStart);

    Label5_ = new QLabel(QStringLiteral("乐器"), this);
    Label5_->setObjectName(QStringLiteral("Label5"));
    Label5_->setGeometry(kListX, 4, kListW, 18);
    const QStringList instruments = ChordAccompaniment::instrumentEntries();
    for (int k = 0; k < 3; ++k) {
        QComboBox *box = makeList(this, QStringLiteral("Combo3(%1)").arg(k), instruments);
        box->setGeometry(kListX, 22 + k * (kListH + 4), kListW, kListH);
        box->setCurrentIndex(chords_.instrumentPosition(k));
        Combo3_[size_t(k)] = box;
        static const char *const names[] = {"和弦乐器一", "和弦乐器二", "和弦乐器三"};
        nameControl(box, QString::fromUtf8(names[k]), k == 0 ? Label5_ : nullptr);
        connect(box, &QComboBox::activated, this, [this, k](int position) {
            chords_.selectInstrument(k, position);
        });
    }
    Label13_ = new QLabel(QStringLiteral("音量"), this);
    Label13_->setObjectName(QStringLiteral("Label13"));
    Label13_->setGeometry(kListX, 100, kListW, 18);
    HxYL_ = makeList(this, QStringLiteral("HxYL"), ChordAccompaniment::volumeEntries());
    HxYL_->setGeometry(kListX, 118, kListW, kListH);
    HxYL_->setCurrentIndex(chords_.volumePosition());
    nameControl(HxYL_, QStringLiteral("和弦音量"), Label13_);
    connect(HxYL_, &QComboBox::activated, &chords_, &ChordAccompaniment::selectVolume);

    // Follow the controller, whoever changed it (user, keys, score, start-up).
    connect(&chords_, &ChordAccompaniment::optionChanged, this, &ChordPanel::showOption);
    connect(&chords_, &ChordAccompaniment::startEnabledChanged, Check6_, &QPushButton::setEnabled);
    connect(&chords_, &ChordAccompaniment::instrumentChanged, this, [this](int list, int position) {
        QSignalBlocker block(Combo3_[size_t(list)]);
        Combo3_[size_t(list)]->setCurrentIndex(position);
    });
    connect(&chords_, &ChordAccompaniment::volumeChanged, this, [this](int position) {
        QSignalBlocker block(HxYL_);
        HxYL_->setCurrentIndex(position);
    });
    showOption(chords_.chosenOption());
    Check6_->setEnabled(chords_.startEnabled());
}

QString ChordPanel::optionName(int i)
{
    if (i < ChordAccompaniment::kChordCount)
        return QStringLiteral("和弦 %1").arg(ChordAccompaniment::optionCaption(i));
    // The options after the six chords carry none.
    return QStringLiteral("无和弦 %1").arg(i - ChordAccompaniment::kChordCount + 1);
}

QRadioButton *ChordPanel::option(int i) const
{
    return i >= 0 && i < ChordAccompaniment::kOptionCount ? Option5_[size_t(i)] : nullptr;
}

QComboBox *ChordPanel::Combo3(int i) const
{
    return i >= 0 && i < 3 ? Combo3_[size_t(i)] : nullptr;
}

void ChordPanel::showOption(int option)
{
    if (QRadioButton *button = this->option(option))
        button->setChecked(true);
}

void ChordPanel::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    emit backgroundClicked();
}
