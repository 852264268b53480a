#include "performance/Form2.h"

#include "performance/KeyTable.h"
#include "widgets/PlayingKeyButton.h"
#include "resources/KeyArtwork.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {

constexpr int kWhiteWidth = 10, kWhiteHeight = 73;
constexpr int kBlackWidth = 6, kBlackHeight = 45;

// JPSB: hands every fresh key-down to the mini keyboard.
class MiniKeyButton : public PlayingKeyButton {
public:
    MiniKeyButton(MiniKeyboard &mini, QWidget *parent)
        : PlayingKeyButton(QStringLiteral("键盘演奏"), parent), mini_(mini)
    {
    }

protected:
    void keyDown(int keyCode) override { mini_.keyPressed(keyCode); }

private:
    MiniKeyboard &mini_;
};

// Where box o lies: white boxes side by side, black boxes lying on the
// border of the two white boxes they sit between.
QRect boxRect(int offset)
{
    const int octave = offset / 12, step = offset % 12;
    static const int whiteBefore[12] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};
    const int w = octave * 7 + whiteBefore[step];
    if (KeyTable::isBlackKey(offset))
        return QRect(w * kWhiteWidth - kBlackWidth / 2, 0, kBlackWidth, kBlackHeight);
    return QRect(w * kWhiteWidth, 0, kWhiteWidth, kWhiteHeight);
}

// Picture1(0..64): the boxes only show colours; this widget takes the mouse
// for all of them and reports to the mini keyboard.
class MiniKeys : public QWidget {
public:
    MiniKeys(MiniKeyboard &mini, QWidget *parent) : QWidget(parent), mini_(mini)
    {
        setObjectName(QStringLiteral("MiniKeys"));
        setCursor(KeyArtwork::keyCursor());
        // White boxes first, so the black ones lie on top.
        for (bool black : {false, true}) {
            for (int o = 0; o < MiniKeyboard::kBoxes; ++o) {
                if (KeyTable::isBlackKey(o) != black)
                    continue;
                auto *box = new QLabel(this);
                box->setObjectName(QStringLiteral("Picture1(%1)").arg(o));
                box->setGeometry(boxRect(o));
                box->setFrameShape(QFrame::Box);
                box->setAutoFillBackground(true);
                box->setAttribute(Qt::WA_TransparentForMouseEvents);
                box->setAccessibleName(KeyTable::keyName(o));
                boxes_[size_t(o)] = box;
                paintBox(o, mini.boxColour(o));
            }
        }
        resize(38 * kWhiteWidth, kWhiteHeight);
        connect(&mini, &MiniKeyboard::boxColourChanged, this, [this](int o, quint32 c) { paintBox(o, c); });
    }

    QWidget *box(int offset) const
    {
        return offset >= 0 && offset < MiniKeyboard::kBoxes ? boxes_[size_t(offset)] : nullptr;
    }

protected:
    void mousePressEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton)
            mini_.pianoPressed(keyAt(e->position().toPoint()));
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        if (e->buttons() & Qt::LeftButton)
            mini_.pianoMovedTo(keyAt(e->position().toPoint()));
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton)
            mini_.pianoReleased();
    }

private:
    static int keyAt(const QPoint &p)
    {
        for (bool black : {true, false}) {
            for (int o = 0; o < MiniKeyboard::kBoxes; ++o) {
                if (KeyTable::isBlackKey(o) == black && boxRect(o).contains(p))
                    return o;
            }
        }
        return -1;
    }
    void paintBox(int offset, quint32 colour)
    {
        QWidget *b = box(offset);
        if (!b)
            return;
        QPalette pal = b->palette();
        pal.setColor(QPalette::Window, QColor::fromRgb(QRgb(colour)));
        b->setPalette(pal);
        b->setProperty("colour", colour);
    }

    MiniKeyboard &mini_;
    std::array<QLabel *, MiniKeyboard::kBoxes> boxes_{};
};

}  // namespace

Form2::Form2(Session &session, WindowDisplay &mainDisplay, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), mini_(session, mainDisplay)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(caption());

    keys_ = new MiniKeys(mini_, this);
    keys_->move(0, 0);

    Picture2 = new QLabel(MiniKeyboard::mutePadLine(), this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(0, 75, 380, 18);
    Picture2->setAlignment(Qt::AlignCenter);
    Picture2->setMouseTracking(true);
    Picture2->installEventFilter(this);

    JPSB = new MiniKeyButton(mini_, this);
    JPSB->setObjectName(QStringLiteral("JPSB"));
    JPSB->setToolTip(QStringLiteral("当迷你窗口失去焦点时将不能演奏，点击我即可使窗口重新获得焦点！"));
    JPSB->setGeometry(0, 95, 180, 25);
    JPSB->setAccessibleName(QStringLiteral("键盘演奏"));
    Command1 = new QPushButton(QStringLiteral("返回"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("点击后将回到主窗口并把刚才的演奏乐谱装入主窗口左上方的乐谱编辑区中！"));
    Command1->setGeometry(185, 95, 95, 25);
    Command1->setAccessibleName(QStringLiteral("返回主窗口"));
    Command2 = new QPushButton(QStringLiteral("清空"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setToolTip(QStringLiteral("开始新的演奏以便满意后返回主窗口即可自动重复或编辑刚才的演奏！"));
    Command2->setGeometry(285, 95, 95, 25);
    Command2->setAccessibleName(QStringLiteral("清空乐谱"));
    setFixedSize(380, 122);

    connect(JPSB, &QPushButton::clicked, this, [this] { JPSB->setFocus(Qt::OtherFocusReason); });
    connect(Command1, &QPushButton::clicked, &mini_, &MiniKeyboard::handBack);
    connect(Command2, &QPushButton::clicked, &mini_, &MiniKeyboard::clearClicked);
    connect(&mini_, &MiniKeyboard::choiceMade, this, [this] { JPSB->setFocus(Qt::OtherFocusReason); });
    connect(&mini_, &MiniKeyboard::handedBack, this, &Form2::handedBack);
}

QWidget *Form2::picture1(int offset) const
{
    return static_cast<MiniKeys *>(keys_)->box(offset);
}

bool Form2::event(QEvent *e)
{
    // The window's activation comes with each showing. Coming back from
    // another program (a click on JPSB after reading the score elsewhere)
    // only gives the focus back: it must not empty the score played so far.
    if (e->type() == QEvent::Show && !e->spontaneous()) {
        raise();
        activateWindow();
        mini_.activate();
    }
    return QWidget::event(e);
}

bool Form2::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == Picture2 && e->type() == QEvent::MouseMove)
        mini_.mutePadTouched();
    return QWidget::eventFilter(watched, e);
}

void Form2::handedBack()
{
    emit returning();
    if (!closing_)
        hide();
}

void Form2::closeEvent(QCloseEvent *e)
{
    closing_ = true;
    mini_.handBack();
    e->accept();
}
