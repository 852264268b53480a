#include "rhythm/RhythmPanel.h"

#include "widgets/AccessibleName.h"
#include "widgets/ChoiceList.h"
#include "rhythm/RhythmCellBox.h"
#include "rhythm/RhythmFiles.h"
#include "rhythm/RhythmPattern.h"
#include "rhythm/RhythmSequencer.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {

// Design positions are in twips.
int px(int twips)
{
    return qRound(twips / 15.0);
}

QString indexed(const char *name, int i)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

const char *const kCellNames[4] = {"BZA", "BZB", "BZC", "BZD"};
const char *const kRowNames[4] = {"第一行", "第二行", "第三行", "第四行"};
const int kInstTops[4] = {600, 922, 1263, 1605};
const int kTrackTops[4] = {611, 960, 1320, 1650};
constexpr int kTrackWidth = 209;  // 3135 twips: cell 16 starts on its last column
constexpr int kTrackHeight = 18;
constexpr int kCellWidth = 13;
constexpr int kCellHeight = 17;
constexpr int kRowHeight = 20;

QColor colourOf(CellColour c)
{
    return c == CellColour::Red ? QColor(255, 0, 0) : QColor(255, 255, 0);
}

}  // namespace

RhythmPanel::RhythmPanel(RhythmPattern &pattern, RhythmSequencer &sequencer, RhythmFiles &files,
                         QWidget *parent)
    : QWidget(parent), pattern_(pattern), sequencer_(sequencer), files_(files)
{
    setObjectName(QStringLiteral("Jiezhou(2)"));
    setFixedSize(kWidth, kHeight);
    setMouseTracking(true);
    QFont small = font();
    small.setPixelSize(12);
    setFont(small);

    // Tab walks the controls in the order they are made.
    makeTimeSignatures();
    makeToggles();
    makeDrumRows();
    makeVolume();
    makeFileButtons();
    makeFileList();
    followControllers();
    trackMovesOverControls();
    showEverything();
}

void RhythmPanel::makeTimeSignatures()
{
    timeSignatures_ = new QButtonGroup(this);
    const char *const signatures[3] = {"2/4", "3/4", "4/4"};
    for (int k = 0; k < 3; ++k) {
        auto *option = new QRadioButton(QLatin1String(signatures[k]), this);
        option->setObjectName(indexed("Option1", k));
        option->setGeometry(px(240 + 600 * k), px(240), 40, kRowHeight);
        // The options stand 40 pixels apart: each label keeps close to its
        // own circle, clear of the next one.
        option->setStyleSheet(QStringLiteral("QRadioButton { spacing: 2px; }"));
        option->setAccessibleName(QStringLiteral("%1拍").arg(QLatin1String(signatures[k])));
        timeSignatures_->addButton(option, k);
        Option1_[size_t(k)] = option;
        connect(option, &QRadioButton::clicked, this, [this, k] {
            pattern_.SelectTimeSignature(k);
            showTimeSignature();
        });
    }
}

void RhythmPanel::makeToggles()
{
    Check5 = new QPushButton(sequencer_.Check5Caption(), this);
    Check5->setObjectName(QStringLiteral("Check5"));
    Check5->setCheckable(true);
    Check5->setGeometry(px(2040), px(240), 72, kRowHeight);
    connect(Check5, &QPushButton::clicked, this, [this](bool on) {
        sequencer_.setCheck5(on);
        showCheck5();
    });

    BzQd = new QPushButton(sequencer_.BzQdCaption(), this);
    BzQd->setObjectName(QStringLiteral("BzQd"));
    BzQd->setCheckable(true);
    BzQd->setGeometry(px(4920), px(240), 56, kRowHeight);
    connect(BzQd, &QPushButton::clicked, this, [this](bool on) {
        sequencer_.setBzQd(on);
        showBzQd();
    });
}

// The drum list and the track with cell 0 of each row.
void RhythmPanel::makeDrumRows()
{
    const QStringList drums = RhythmPattern::drumList();
    for (int r = 0; r < 4; ++r) {
        auto *list = new ChoiceList(this);
        list->setObjectName(indexed("LblInst", r));
        list->addItems(drums);
        list->setCurrentIndex(-1);
        list->setGeometry(px(240), px(kInstTops[r]), 94, kRowHeight);
        LblInst_[size_t(r)] = list;
        nameControl(list, QString::fromUtf8(kRowNames[r]) + QStringLiteral("打击乐器"));
        connect(list, qOverload<int>(&QComboBox::activated), this, [this, r](int position) {
            pattern_.SetRhythmInstrument(r, position);
            showInstrument(r);
        });

        auto *track = new QWidget(this);
        track->setObjectName(indexed("PicTrack", r));
        track->setGeometry(px(1680), px(kTrackTops[r]), kTrackWidth, kTrackHeight);
        PicTrack_[size_t(r)] = track;
        makeCell(r, 0);
    }
}

void RhythmPanel::makeVolume()
{
    Label2 = new QLabel(QStringLiteral("音 量"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(px(4950), px(615), 50, 18);

    VsbVol = new ChoiceList(this);
    VsbVol->setObjectName(QStringLiteral("VsbVol"));
    VsbVol->addItems(RhythmPattern::volumeList());
    VsbVol->setGeometry(px(4875), px(840), 58, kRowHeight);
    nameControl(VsbVol, QStringLiteral("节奏音量"), Label2);
    connect(VsbVol, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        pattern_.SetRhythmVolume(index);
        showVolume();
    });
}

void RhythmPanel::makeFileButtons()
{
    const char *const buttonTexts[2] = {"删 除", "保 存"};
    const char *const buttonNames[2] = {"删除节奏文件", "保存节奏文件"};
    const int buttonTops[2] = {1260, 1605};
    for (int b = 0; b < 2; ++b) {
        auto *button = new QPushButton(QString::fromUtf8(buttonTexts[b]), this);
        button->setObjectName(indexed("Cmdcill", b));
        button->setGeometry(px(4920), px(buttonTops[b]), 56, kRowHeight);
        button->setAccessibleName(QString::fromUtf8(buttonNames[b]));
        Cmdcill_[size_t(b)] = button;
    }
    connect(Cmdcill_[0], &QPushButton::clicked, this, [this] { files_.deleteSelected(); });
    connect(Cmdcill_[1], &QPushButton::clicked, this, [this] { files_.save(); });
}

// The file label and, hidden until the label asks for it, the list of files.
void RhythmPanel::makeFileList()
{
    Label11 = new QLabel(this);
    Label11->setObjectName(QStringLiteral("Label11"));
    Label11->setGeometry(px(3195), px(240), 110, kRowHeight);
    Label11->setMouseTracking(true);
    Label11->installEventFilter(this);
    // From the keyboard: Tab reaches the label, Enter or Down opens the list.
    Label11->setFocusPolicy(Qt::TabFocus);
    Label11->setAccessibleDescription(QStringLiteral("按回车键打开节奏文件列表"));

    // The list lies over the panel while shown.
    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setGeometry(px(3195), px(540), 110, kHeight - px(540) - 2);
    File1->hide();
    nameControl(File1, QStringLiteral("节奏文件列表"));
    File1->installEventFilter(this);
    connect(File1, &QListWidget::clicked, this, [this](const QModelIndex &index) {
        files_.openFromList(index.row());
    });
    // Enter on an entry opens it; the focus goes back to the label first,
    // as the list hides.
    connect(File1, &QListWidget::activated, this, [this](const QModelIndex &index) {
        if (File1->hasFocus())
            Label11->setFocus(Qt::OtherFocusReason);
        files_.openFromList(index.row());
    });
}

// The controllers' state, whoever changed it.
void RhythmPanel::followControllers()
{
    connect(&pattern_, &RhythmPattern::cellChanged, this, [this](int r, int i) { showCell(r, i); });
    connect(&pattern_, &RhythmPattern::instrumentChanged, this, [this](int r) { showInstrument(r); });
    connect(&pattern_, &RhythmPattern::volumeChanged, this, &RhythmPanel::showVolume);
    connect(&pattern_, &RhythmPattern::timeSignatureChanged, this, &RhythmPanel::showTimeSignature);
    connect(&pattern_, &RhythmPattern::gridChanged, this, &RhythmPanel::showGrid);
    connect(&sequencer_, &RhythmSequencer::bzQdChanged, this, &RhythmPanel::showBzQd);
    connect(&sequencer_, &RhythmSequencer::check5Changed, this, &RhythmPanel::showCheck5);
    connect(&files_, &RhythmFiles::label11Changed, this, &RhythmPanel::showLabel11);
    connect(&files_, &RhythmFiles::file1Changed, this, &RhythmPanel::showFileList);
    connect(&files_, &RhythmFiles::file1VisibleChanged, this, [this](bool visible) {
        File1->setVisible(visible);
        if (visible)
            File1->raise();
    });
}

// Moves over the controls reach the panel too, so moving anywhere but over
// the label or the list closes the list.
void RhythmPanel::trackMovesOverControls()
{
    for (QWidget *child : findChildren<QWidget *>()) {
        if (child != File1 && !File1->isAncestorOf(child))
            child->setMouseTracking(true);
    }
}

RhythmCellBox *RhythmPanel::makeCell(int row, int i)
{
    auto *box = new RhythmCellBox(PicTrack_[size_t(row)]);
    box->setObjectName(indexed(kCellNames[row], i));
    box->setGeometry(i * kCellPitch, 0, kCellWidth, kCellHeight);
    box->setMouseTracking(true);
    // Tab reaches a cell that can be used; a click leaves the keyboard playing.
    box->setFocusPolicy(box->usable() ? Qt::TabFocus : Qt::NoFocus);
    nameControl(box, QStringLiteral("%1第%2格").arg(QString::fromUtf8(kRowNames[row])).arg(i + 1));
    cells_[size_t(row)][size_t(i)] = box;
    connect(box, &QCheckBox::clicked, this, [this, row, i](bool ticked) {
        pattern_.SetRhythmCell(row, i, ticked);
        showCell(row, i);
    });
    showCell(row, i);
    return box;
}

void RhythmPanel::createCells()
{
    for (int i = 1; i < RhythmPattern::kCellsPerRow; ++i) {
        for (int r = 0; r < 4; ++r) {
            if (!cells_[size_t(r)][size_t(i)])
                makeCell(r, i)->show();
        }
    }
}

QCheckBox *RhythmPanel::cell(int row, int i) const
{
    if (row < 0 || row >= 4 || i < 0 || i >= RhythmPattern::kCellsPerRow)
        return nullptr;
    return cells_[size_t(row)][size_t(i)];
}

void RhythmPanel::showCell(int row, int i)
{
    RhythmCellBox *box = cells_[size_t(row)][size_t(i)];
    if (!box)
        return;
    const QSignalBlocker block(box);
    box->setChecked(pattern_.Cells(row, i));
    box->setColour(colourOf(pattern_.cellColour(i)));
    box->setVisible(pattern_.isCellVisible(i));
}

void RhythmPanel::showGrid()
{
    for (int r = 0; r < 4; ++r) {
        for (int i = 0; i < RhythmPattern::kCellsPerRow; ++i)
            showCell(r, i);
    }
}

void RhythmPanel::showInstrument(int row)
{
    QComboBox *list = LblInst_[size_t(row)];
    const QSignalBlocker block(list);
    list->setCurrentIndex(pattern_.Instrument(row));
}

void RhythmPanel::showVolume()
{
    const QSignalBlocker block(VsbVol);
    VsbVol->setCurrentIndex(pattern_.VolumeIndex());
}

void RhythmPanel::showTimeSignature()
{
    for (int k = 0; k < 3; ++k) {
        const QSignalBlocker block(Option1_[size_t(k)]);
        Option1_[size_t(k)]->setChecked(pattern_.TimeSignature() == k);
    }
}

void RhythmPanel::showBzQd()
{
    const QSignalBlocker block(BzQd);
    BzQd->setChecked(sequencer_.BzQd());
    BzQd->setText(sequencer_.BzQdCaption());
    BzQd->setAccessibleName(sequencer_.BzQdCaption() + QStringLiteral("节奏"));
}

void RhythmPanel::showCheck5()
{
    const QSignalBlocker block(Check5);
    Check5->setChecked(sequencer_.Check5());
    Check5->setText(sequencer_.Check5Caption());
}

void RhythmPanel::showFileList()
{
    const QStringList entries = files_.File1();
    QStringList shown;
    for (int i = 0; i < File1->count(); ++i)
        shown << File1->item(i)->text();
    const QSignalBlocker block(File1);
    if (shown != entries) {
        File1->clear();
        File1->addItems(entries);
    }
    File1->setCurrentRow(files_.File1Index());
}

void RhythmPanel::showEverything()
{
    showTimeSignature();
    showVolume();
    for (int r = 0; r < 4; ++r)
        showInstrument(r);
    showGrid();
    showBzQd();
    showCheck5();
    showLabel11(files_.Label11());
    showFileList();
    File1->setVisible(files_.isFile1Visible());
}

void RhythmPanel::mouseMoveEvent(QMouseEvent *event)
{
    // Moves over the list itself, or over the label that opens it, keep it.
    const QPoint pos = event->position().toPoint();
    const bool overList = File1->isVisible() && File1->geometry().contains(pos);
    if (!overList && !Label11->geometry().contains(pos))
        files_.hideFile1();
    QWidget::mouseMoveEvent(event);
}

void RhythmPanel::mousePressEvent(QMouseEvent *event)
{
    emit backgroundClicked();
    QWidget::mousePressEvent(event);
}

void RhythmPanel::showLabel11(const QString &text)
{
    Label11->setText(text);
    Label11->setAccessibleName(text.isEmpty() ? QStringLiteral("节奏文件") : QStringLiteral("节奏文件 %1").arg(text));
}

bool RhythmPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label11 && (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove))
        files_.showFile1();
    if (watched == Label11 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down || key == Qt::Key_Space) {
            files_.showFile1();
            File1->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    // The list opened from the keyboard closes when the focus leaves it.
    if (watched == File1 && event->type() == QEvent::FocusOut && !File1->underMouse())
        files_.hideFile1();
    return QWidget::eventFilter(watched, event);
}
