#include "score/ScoreBox.h"

#include "core/WindowDisplay.h"
#include "score/ScoreFiles.h"
#include "score/ScorePlayer.h"
#include "score/ScoreTextEdit.h"

#include <QEvent>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

ScoreBox::ScoreBox(WindowDisplay &window, QWidget *form) : QObject(form), window_(window)
{
    auto *frame = new QFrame(form);
    frame->setObjectName(QStringLiteral("Picture4"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setGeometry(8, 32, 391, 145);
    picture4_ = frame;

    text3_ = new ScoreTextEdit(frame);
    text3_->setObjectName(QStringLiteral("Text3"));
    text3_->setGeometry(8, 8, 369, 127);
    text3_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text3_->setScore(window.Text3());
    text3_->setAccessibleName(QStringLiteral("乐谱"));

    // Left to right: 清空, 打开, 删除, 试听, 保存.
    const int order[] = {3, 2, 1, 0, 4};
    buttons_.resize(5);
    for (int i = 0; i < 5; ++i) {
        const int index = order[i];
        auto *b = new QPushButton(caption(index), form);
        b->setObjectName(QStringLiteral("Yuepu(%1)").arg(index));
        b->setToolTip(toolTip(index));
        b->setGeometry(170 + 46 * i, 180, 45, 25);
        b->setFocusPolicy(Qt::TabFocus);
        buttons_[index] = b;
    }

    connect(&window, &WindowDisplay::text3Changed, text3_, &ScoreTextEdit::setScore);
    connect(text3_, &ScoreTextEdit::scoreEdited, &window, &WindowDisplay::setText3);
    connect(&window, &WindowDisplay::text3SelectionRequested, text3_, &ScoreTextEdit::markScore);
}

void ScoreBox::bind(ScorePlayer &player, ScoreFiles &files)
{
    player_ = &player;
    QPushButton *play = buttons_[0];
    play->installEventFilter(this);
    connect(play, &QPushButton::clicked, &player, &ScorePlayer::playClicked);
    connect(buttons_[1], &QPushButton::clicked, &files, &ScoreFiles::deleteClicked);
    connect(buttons_[2], &QPushButton::clicked, &files, &ScoreFiles::openClicked);
    connect(buttons_[3], &QPushButton::clicked, &files, &ScoreFiles::clearClicked);
    connect(buttons_[4], &QPushButton::clicked, &files, &ScoreFiles::saveClicked);

    play->setText(player.playCaption());
    connect(&player, &ScorePlayer::playCaptionChanged, play, &QPushButton::setText);
    for (int i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setEnabled(player.buttonEnabled(i));
    connect(&player, &ScorePlayer::buttonEnabledChanged, this, [this](int index, bool enabled) {
        if (QPushButton *b = buttons_.value(index))
            b->setEnabled(enabled);
    });
}

bool ScoreBox::eventFilter(QObject *watched, QEvent *event)
{
    // The play button's mouse-down runs before its click.
    if (player_ && watched == buttons_[0] && event->type() == QEvent::MouseButtonPress
        && buttons_[0]->isEnabled())
        player_->playMouseDown();
    return QObject::eventFilter(watched, event);
}

QString ScoreBox::caption(int index)
{
    static const char *const captions[] = {"试听", "删除", "打开", "清空", "保存"};
    return index >= 0 && index < 5 ? QString::fromUtf8(captions[index]) : QString();
}

QString ScoreBox::toolTip(int index)
{
    static const char *const tips[] = {
        "试听乐谱编辑窗口中的文件！",
        "删除最后一次打开的乐谱文件或录音文件并不可恢复！",
        "打开演奏记录文件夹中的乐谱文档并自动开始演奏！",
        "点击这里将清空乐谱编辑窗口中的乐谱，并允许开始新的演奏！",
        "保存乐谱编辑窗口中的乐谱为文本文件，以便下次进行自动演奏或录音或编辑！",
    };
    return index >= 0 && index < 5 ? QString::fromUtf8(tips[index]) : QString();
}
