#include "controllers/mainwindow/Navigation.h"

#include "core/WindowDisplay.h"
#include "resources/StringTable.h"

#include <QStringList>

Navigation::Navigation(WindowDisplay &display, QObject *parent)
    : QObject(parent), display_(display)
{
}

QString Navigation::tabCaption(int tab)
{
    switch (tab) {
    case kMelody: return QStringLiteral("旋 律");
    case kChord: return QStringLiteral("和 弦");
    case kRhythm: return QStringLiteral("节 奏");
    case kHelp: return QStringLiteral("帮 助");
    default: return QString();
    }
}

QString Navigation::tabMessage(int tab)
{
    switch (tab) {
    case kMelody: return QStringLiteral("旋律调整。。。");
    case kChord: return QStringLiteral("和弦调整。。。");
    case kRhythm: return QStringLiteral("节奏调整。。。");
    case kHelp: return QStringLiteral("查看帮助。。。");
    default: return QString();
    }
}

QString Navigation::topicCaption(int topic)
{
    static const QStringList captions = {
        QStringLiteral("软件简介"), QStringLiteral("演奏旋律"), QStringLiteral("自动演奏"),
        QStringLiteral("节奏设置"), QStringLiteral("和弦设置"), QStringLiteral("迷你窗口"),
        QStringLiteral("录音重放"),
    };
    return captions.value(topic);
}

void Navigation::selectTab(int tab)
{
    if (tabCaption(tab).isEmpty())
        return;
    tab_ = tab;
    emit tabChanged(tab);
    display_.setFJWZ(tabMessage(tab));
    if (tab == kHelp)
        selectHelpTopic(0);
    emit choiceMade();
}

void Navigation::selectHelpTopic(int topic)
{
    if (topic < 0 || topic >= kHelpTopics)
        return;
    topic_ = topic;
    helpText_ = StringTable::text(StringTable::kFirstHelpTopic + topic);
    emit helpTopicChanged(topic, helpText_);
    emit choiceMade();
}

void Navigation::panelClicked()
{
    emit choiceMade();
}
