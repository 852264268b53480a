#include "app/HelpPanel.h"

#include "controllers/mainwindow/Navigation.h"

#include <QButtonGroup>
#include <QPlainTextEdit>
#include <QRadioButton>

HelpPanel::HelpPanel(Navigation &navigation, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Jiezhou(4)"));
    resize(391, 146);

    auto *group = new QButtonGroup(this);
    for (int i = 0; i < Navigation::kHelpTopics; ++i) {
        auto *option = new QRadioButton(Navigation::topicCaption(i), this);
        option->setObjectName(QStringLiteral("Option2(%1)").arg(i));
        option->setGeometry(6, 4 + i * 20, 92, 20);
        option->setFocusPolicy(Qt::TabFocus);
        group->addButton(option, i);
        Option2[i] = option;
    }
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setGeometry(102, 4, 285, 138);
    Text1->setAccessibleName(QStringLiteral("帮助内容"));

    connect(group, &QButtonGroup::idClicked, &navigation, &Navigation::selectHelpTopic);
    connect(&navigation, &Navigation::helpTopicChanged, this, [this](int topic, const QString &text) {
        if (topic >= 0 && topic < Navigation::kHelpTopics)
            Option2[topic]->setChecked(true);
        QString shown = text;
        Text1->setPlainText(shown.remove(QLatin1Char('\r')));
    });
}
