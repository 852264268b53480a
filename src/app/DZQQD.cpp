#include "app/DZQQD.h"

#include "resources/WelcomePicture.h"
#include "widgets/AccessibleInterfaces.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

DZQQD::DZQQD(Clock &clock, QWidget *parent)
    : QWidget(parent), timer_(clock, QStringLiteral("Timer1"), 25000, this), picture_(welcomePicture())
{
    setAccessibleWindowRole(this, QAccessible::Dialog);
    setObjectName(QStringLiteral("DZQQD"));
    setWindowTitle(QStringLiteral("欢迎使用Quorvane电子琴"));
    setFixedSize(picture_.size());

    Label1 = new QLabel(welcomeText(), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setGeometry(14, 146, 372, 112);
    Label1->setStyleSheet(QStringLiteral(
        "QLabel { color: white; background: rgba(0, 0, 40, 150); border-radius: 6px; padding: 6px; }"));

    Command1 = new QPushButton(QStringLiteral("知道了"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(302, 266, 84, 26);
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &DZQQD::handOver);

    timer_.onTick = [this] { handOver(); };
    timer_.setEnabled(true);
}

QString DZQQD::welcomeText()
{
    return QStringLiteral(
        "     欢迎使用Quorvane软件,本软件可使用128种乐器中的任意1-3种乐器进行旋律演奏,"
        "可同时使用1-4种乐器进行节奏伴奏,还可以使用任一乐器演奏和弦以及实时使用5种不同的打击乐器来美化音乐."
        "同时,本软件支持手工输入和编辑TXT格式的乐谱,并由电脑自动演奏,还支持实时演奏和自动演奏的录音和重放！");
}

void DZQQD::handOver()
{
    if (handedOver_)
        return;  // the click and the timer may both come; the main window shows once
    handedOver_ = true;
    timer_.setEnabled(false);
    emit handedOver();
    close();
}

void DZQQD::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}
