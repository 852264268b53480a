#include "recorder/EditorRecorderView.h"

#include "recorder/WaveRecorder.h"

#include <QEvent>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

namespace {

QString optionToolTip(int index)
{
    switch (index) {
    case 0: return QStringLiteral("播放电子琴演奏或本编辑软件录制的wav格式音频文件！");
    case 1: return QStringLiteral("停止当前的放音或录音！");
    case 3: return QStringLiteral("保存最新的音频记录为wav格式音频文件！");
    default: return QString();
    }
}

}  // namespace

QString EditorRecorderView::optionCaption(int index)
{
    static const char *const captions[] = {"播放", "停止", "录音", "保存录音"};
    return index >= 0 && index < 4 ? QString::fromUtf8(captions[index]) : QString();
}

EditorRecorderView::EditorRecorderView(WaveRecorder &recorder, QWidget *parent)
    : QObject(parent), recorder_(recorder)
{
    auto *caption = new QLabel(QStringLiteral("录音机"), parent);
    caption->setObjectName(QStringLiteral("Label2"));
    caption->setGeometry(4, 2, 48, 22);
    const int lefts[] = {54, 110, 166, 222};
    const int widths[] = {54, 54, 54, 84};
    for (int i = 0; i < 4; ++i) {
        auto *option = new QRadioButton(optionCaption(i), parent);
        option->setObjectName(QStringLiteral("LUYINJI(%1)").arg(i));
        option->setToolTip(optionToolTip(i));
        option->setGeometry(lefts[i], 2, widths[i], 22);
        // The controller decides which option stays selected.
        option->setAutoExclusive(false);
        // Tab reaches it; a click leaves the focus where it is.
        option->setFocusPolicy(Qt::TabFocus);
        connect(option, &QRadioButton::clicked, this, [this, i] {
            recorder_.LUYINJIClicked(i);
            refresh();
        });
        LUYINJI[size_t(i)] = option;
    }
    LYSJ = new QLabel(parent);
    LYSJ->setObjectName(QStringLiteral("LYSJ"));
    LYSJ->setGeometry(310, 2, 100, 22);
    connect(&recorder_, &WaveRecorder::changed, this, &EditorRecorderView::refresh);
    // The session's take may have come from the main window meanwhile.
    parent->installEventFilter(this);
    refresh();
}

bool EditorRecorderView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show)
        refresh();
    return QObject::eventFilter(watched, event);
}

void EditorRecorderView::refresh()
{
    for (int i = 0; i < 4; ++i)
        LUYINJI[size_t(i)]->setChecked(recorder_.selectedOption() == i);
    const QString note = recorder_.takeNote();
    LYSJ->setText(note.isEmpty() ? recorder_.elapsedText() : note);
}
