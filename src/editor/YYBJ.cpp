#include "editor/YYBJ.h"

#include "core/Session.h"
#include "editor/EditorControllers.h"
#include "editor/MeasureRows.h"
#include "widgets/ChoiceList.h"
#include "platform/dialogs/UserDialogs.h"
#include "widgets/WindowPlacement.h"
#include "recorder/EditorRecorderView.h"
#include "resources/StringTable.h"
#include "midiport/DeviceListBox.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace {

// The layout of each measure size: Picture1 and the melody boxes in pixels,
// the window in twips of the design.
struct SizeLayout {
    int textWidth, pictureWidth, widthTwips, leftTwips;
};
constexpr SizeLayout kLayouts[3] = {
    {325, 465, 11300, 1935},  // 2/4
    {486, 490, 11670, 1735},  // 3/4
    {648, 652, 14100, 635},   // 4/4
};
constexpr int kTwipsPerPixel = 15;
constexpr int kMeasureLineTop = MeasureRows::kTop + MeasureRows::kHeight + 6;
constexpr int kRecorderTop = kMeasureLineTop + 30;

QLabel *label(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    return l;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &tip,
                    const QRect &geometry)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

const SizeLayout &layoutFor(int option)
{
    return kLayouts[qBound(0, option, 2)];
}

}  // namespace

int YYBJ::windowWidth(int option) { return layoutFor(option).widthTwips / kTwipsPerPixel; }
int YYBJ::windowLeft(int option) { return layoutFor(option).leftTwips / kTwipsPerPixel; }
int YYBJ::pictureWidth(int option) { return layoutFor(option).pictureWidth; }
int YYBJ::textWidth(int option) { return layoutFor(option).textWidth; }

YYBJ::YYBJ(EditorControllers &editor, QWidget *parent)
    : QWidget(parent),
      editor_(editor),
      recorderDisplay_(editor.ctx.dialogs),
      recorder_(WaveRecorder::FrontEnd::Editor, editor.ctx.media, recorderDisplay_, editor.ctx.dialogs,
                editor.ctx.clock, editor.ctx.recordFolder)
{
    setObjectName(QStringLiteral("YYBJ"));
    setWindowTitle(caption());
    buildHeader();
    rows_ = new MeasureRows(editor_.controls, this);
    buildButtons();
    buildMeasureLine();
    bindPlayback();

    // Picture6: the panel of the recorder group
    auto *Picture6 = new QFrame(this);
    Picture6->setObjectName(QStringLiteral("Picture6"));
    Picture6->setGeometry(MeasureRows::kLeft, kRecorderTop, 420, 26);
    new EditorRecorderView(recorder_, Picture6);
    label(this, "Label3", QStringLiteral("欢迎使用Quorvane音乐编辑器！有任何意见或建议请联系Quorvane电子琴开发组。"),
          QRect(8, kRecorderTop + 30, 700, 20));

    connect(&editor_.controls, &EditorControls::timeSignatureChanged, this, &YYBJ::layOut);
    layOut(editor_.controls.timeSignature());
}

YYBJ::~YYBJ() = default;

void YYBJ::buildHeader()
{
    // Picture2: the top strip: measure size, tempo, key and device list
    auto *Picture2 = new QFrame(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(0, 4, 752, 30);
    label(Picture2, "JZLX", QStringLiteral("节奏类型"), QRect(6, 4, 56, 22));
    static const char *const tips[] = {"选择音乐节奏类型为2/4拍！", "选择音乐节奏类型为3/4拍！",
                                       "选择音乐节奏类型为4/4拍！"};
    for (int i = 0; i < 3; ++i) {
        auto *option = new QRadioButton(QStringLiteral("%1/4").arg(i + 2), Picture2);
        option->setObjectName(QStringLiteral("JPFL(%1)").arg(i));
        option->setToolTip(QString::fromUtf8(tips[i]));
        option->setGeometry(62 + 50 * i, 4, 48, 22);
        // The controls decide the selected option; an edit file may have none.
        option->setAutoExclusive(false);
        connect(option, &QRadioButton::clicked, this, [this, i] { editor_.controls.selectTimeSignature(i); });
        JPFL[i] = option;
    }
    label(Picture2, "SUDU", QStringLiteral("速度"), QRect(218, 4, 30, 22));
    DQSUDU = new QComboBox(Picture2);
    DQSUDU->setObjectName(QStringLiteral("DQSUDU"));
    DQSUDU->setEditable(true);
    DQSUDU->setInsertPolicy(QComboBox::NoInsert);
    DQSUDU->addItems(EditorControls::tempoList());
    DQSUDU->setGeometry(248, 4, 60, 22);
    showTempo(editor_.controls.tempoText());
    connect(DQSUDU, &QComboBox::editTextChanged, this,
            [this](const QString &text) { editor_.controls.setTempoText(text); });
    connect(DQSUDU->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { showTempo(editor_.controls.tempoText()); });
    connect(&editor_.controls, &EditorControls::tempoChanged, this,
            [this](int, const QString &text) { showTempo(text); });
    label(Picture2, "Label5", QStringLiteral("拍/分钟"), QRect(312, 4, 48, 22));

    label(Picture2, "YINDIAO", QStringLiteral("音调"), QRect(368, 4, 30, 22));
    auto *key = new ChoiceList(Picture2);
    key->setObjectName(QStringLiteral("DQYD"));
    key->addItems(EditorControls::keyList());
    key->setGeometry(398, 4, 52, 22);
    key->setCurrentIndex(editor_.controls.keyIndex());
    connect(key, &QComboBox::activated, &editor_.controls, &EditorControls::selectKey);
    connect(&editor_.controls, &EditorControls::keyChanged, key, &QComboBox::setCurrentIndex);
    DQYD = key;

    ComDevies = new ChoiceList(Picture2);
    ComDevies->setObjectName(QStringLiteral("ComDevies"));
    ComDevies->setGeometry(462, 4, 282, 22);
    showDeviceList(ComDevies, editor_.devices);
}

void YYBJ::buildButtons()
{
    Picture3 = new QFrame(this);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setFrameShape(QFrame::StyledPanel);
    auto at = [](int slot) { return QRect(4, 2 + MeasureRows::kPitch * slot, kRightColumnWidth - 8, 23); };
    // CHARU: "插入", moves on to a blank next measure
    auto *CHARU = button(Picture3, "CHARU", QStringLiteral("插入"), QStringLiteral("在当前小节后插入新的小节！"), at(0));
    connect(CHARU, &QPushButton::clicked, &editor_.controls, &EditorControls::insertMeasure);
    // QinKong: "清空", empties the measure shown
    auto *QinKong = button(Picture3, "QinKong", QStringLiteral("清空"), QStringLiteral("清空并重新编辑当前小节！"), at(1));
    connect(QinKong, &QPushButton::clicked, &editor_.controls, &EditorControls::clearMeasure);
    // BCBXJ: "保存", stores the lists' settings in the header of the measure shown (BCXJ)
    auto *BCBXJ = button(Picture3, "BCBXJ", QStringLiteral("保存"),
                         QStringLiteral("对于修改了乐器，音量等项目的小节请点击保存该小节的设置！"), at(2));
    connect(BCBXJ, &QPushButton::clicked, &editor_.controls, &EditorControls::BCXJ);

    ST1 = new QRadioButton(QStringLiteral("试听本节效果"), Picture3);
    ST1->setObjectName(QStringLiteral("ST1"));
    ST1->setToolTip(QStringLiteral("只要有修改的小节都应试听以便软件记住你的修改！"));
    ST1->setGeometry(at(3));
    ST1->setAutoExclusive(false);
    ST2 = new QCheckBox(EditorPlayback::playCaption(), Picture3);
    ST2->setObjectName(QStringLiteral("ST2"));
    ST2->setToolTip(QStringLiteral("试听编辑的音乐效果，可以随时停止进行编辑！"));
    ST2->setGeometry(at(4));

    // DkBianji: "打开编辑文件", opens an edit file
    auto *DkBianji = button(Picture3, "DkBianji", QStringLiteral("打开编辑文件"),
                            QStringLiteral("打开以前保存的编辑文件再次进行编辑或录音！"), at(5));
    connect(DkBianji, &QPushButton::clicked, &editor_.files, &EditorFiles::openClicked);
    // DRYP: "导入记录乐谱", imports a score file as a new edit
    auto *DRYP = button(Picture3, "DRYP", QStringLiteral("导入记录乐谱"),
                        QStringLiteral("导入用电子琴演奏或编辑的乐谱进行全新编辑！"), at(6));
    connect(DRYP, &QPushButton::clicked, &editor_.files, &EditorFiles::importClicked);
    // BCBJ: "保存编辑", saves the whole edit in an edit file (BCBJWJ)
    auto *BCBJ = button(Picture3, "BCBJ", QStringLiteral("保存编辑"),
                        QStringLiteral("保存正在编辑的音乐编辑，以备再次修改编辑！"), at(7));
    connect(BCBJ, &QPushButton::clicked, &editor_.files, &EditorFiles::saveClicked);
    BZWJ = button(Picture3, "BZWJ", QStringLiteral("帮  助"), QString(), at(8));
    connect(BZWJ, &QPushButton::clicked, this, &YYBJ::showHelp);
    TUICHU = button(Picture3, "TUICHU", QStringLiteral("退出窗口"), QString(), at(9));
    connect(TUICHU, &QPushButton::clicked, this, &QWidget::close);
}

void YYBJ::buildMeasureLine()
{
    label(this, "XJXS", QStringLiteral("正在编辑软件第"), QRect(6, kMeasureLineTop, 90, 22));
    XJZS = new QLineEdit(editor_.controls.XJZS(), this);
    XJZS->setObjectName(QStringLiteral("XJZS"));
    XJZS->setGeometry(96, kMeasureLineTop, 40, 22);
    connect(XJZS, &QLineEdit::textEdited, &editor_.controls, &EditorControls::setXJZS);
    connect(&editor_.controls, &EditorControls::xjzsChanged, this, [this](const QString &text) {
        if (XJZS->text() != text)
            XJZS->setText(text);
    });
    label(this, "Label4", QStringLiteral("小节"), QRect(140, kMeasureLineTop, 30, 22));
    XJXSS = label(this, "XJXSS", editor_.controls.XJXSS(), QRect(6, kRecorderTop, 166, 22));
    connect(&editor_.controls, &EditorControls::xjxssChanged, XJXSS, &QLabel::setText);

    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    // A click on the bar takes the focus: a melody box being typed in is
    // cut into cells before another measure shows.
    HScroll1->setFocusPolicy(Qt::StrongFocus);
    HScroll1->setPageStep(1);
    HScroll1->setRange(0, editor_.controls.scrollMaximum());
    HScroll1->setValue(editor_.controls.scrollValue());
    connect(HScroll1, &QScrollBar::valueChanged, &editor_.controls, [this](int value) { editor_.controls.scrollTo(value); });
    connect(&editor_.controls, &EditorControls::scrollChanged, this, [this](int maximum, int value) {
        QSignalBlocker quiet(HScroll1);
        HScroll1->setRange(0, maximum);
        HScroll1->setValue(value);
    });

    ZDXJZS = button(this, "ZDXJZS", QStringLiteral("设置"),
                    QStringLiteral("设置音乐所需小节总数，修改后自动演奏时将演奏到设定值！"), QRect());
    connect(ZDXJZS, &QPushButton::clicked, &editor_.controls, &EditorControls::askMeasureTotal);
}

void YYBJ::bindPlayback()
{
    EditorPlayback &playback = editor_.playback;
    connect(ST1, &QRadioButton::clicked, this, [this, &playback] {
        if (!playback.ST1())
            playback.audition();
        ST1->setChecked(playback.ST1());
    });
    connect(&playback, &EditorPlayback::st1Changed, ST1, &QRadioButton::setChecked);
    connect(ST2, &QCheckBox::clicked, &playback, &EditorPlayback::setST2);
    connect(&playback, &EditorPlayback::st2Changed, this, [this](bool ticked, const QString &text) {
        QSignalBlocker quiet(ST2);
        ST2->setChecked(ticked);
        ST2->setText(text);
    });
    connect(&playback, &EditorPlayback::helpEnabledChanged, BZWJ, &QWidget::setEnabled);
    ST1->setChecked(playback.ST1());
    ST2->setChecked(playback.ST2());
    ST2->setText(playback.ST2Caption());
    BZWJ->setEnabled(playback.helpEnabled());
}

void YYBJ::layOut(int option)
{
    for (int i = 0; i < 3; ++i)
        JPFL[i]->setChecked(i == option);
    int picture = rows_->Picture1()->width();
    int text = 0;
    if (option >= 0) {
        picture = pictureWidth(option);
        text = textWidth(option);
    } else {
        // A measure size with no option (from an edit file): the boxes
        // stand under the grid, whatever its width.
        const int steps = editor_.controls.gridBoxes();
        text = MeasureRows::boxOffset(steps - 1) + MeasureRows::kStep + 1;
        picture = qMax(picture, text + 4);
    }
    rows_->layOut(picture, text);
    const int right = MeasureRows::kLeft + picture;
    Picture3->setGeometry(right, MeasureRows::kTop, kRightColumnWidth, MeasureRows::kHeight);
    HScroll1->setGeometry(MeasureRows::kLeft, kMeasureLineTop + 2, picture, 18);
    ZDXJZS->setGeometry(right + 4, kMeasureLineTop - 2, kRightColumnWidth - 8, 24);
    const int width = option >= 0 ? windowWidth(option) : right + kRightColumnWidth + 3;
    setFixedSize(width, kHeight);
    if (option >= 0 && isVisible()) {
        const int screenLeft = WindowPlacement::availableAt(frameGeometry().center(), this).left();
        WindowPlacement::place(this, QPoint(screenLeft + windowLeft(option), pos().y()));
    }
}

void YYBJ::showTempo(const QString &text)
{
    if (DQSUDU->currentText() == text)
        return;
    QSignalBlocker quiet(DQSUDU);
    DQSUDU->setCurrentIndex(DQSUDU->findText(text));
    DQSUDU->setEditText(text);
}

void YYBJ::showHelp()
{
    editor_.ctx.dialogs.message(StringTable::text(StringTable::kEditorHelp));
}

void YYBJ::activate()
{
    if (activated_ || leaving_)
        return;
    activated_ = true;
    setWindowTitle(caption());
    editor_.open();
}

bool YYBJ::event(QEvent *e)
{
    // Only the first activation of an opening opens the editor: coming back
    // from a dialog or from another program must not empty the edit.
    if (e->type() == QEvent::WindowActivate)
        activate();
    return QWidget::event(e);
}

void YYBJ::closeEvent(QCloseEvent *e)
{
    if (!leaving_) {
        leaving_ = true;
        recorder_.leave();
        editor_.leave();
        emit left();
    }
    e->accept();
}
