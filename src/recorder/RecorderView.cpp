#include "recorder/RecorderView.h"

#include "recorder/WaveRecorder.h"
#include "resources/RecorderArtwork.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <functional>

namespace {

// A picture that acts as a button: a click is a left press released over it.
class PictureButton : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent *e) override { e->accept(); }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && onClick)
            onClick();
    }
};

}  // namespace

RecorderView::RecorderView(WaveRecorder &recorder, QPushButton *saveButton, QWidget *window)
    : QObject(window), recorder_(recorder), BcLY(saveButton)
{
    auto *frame = new QFrame(window);
    frame->setObjectName(QStringLiteral("LyCf"));
    frame->setGeometry(592, 178, 81, 25);
    frame->setFrameShape(QFrame::NoFrame);
    for (int i = 0; i < 3; ++i) {
        auto *image = new PictureButton(frame);
        image->setObjectName(QStringLiteral("Image1(%1)").arg(i));
        image->setGeometry(2 + 26 * i, 0, RecorderArtwork::kSize, RecorderArtwork::kSize);
        image->setToolTip(WaveRecorder::toolTip(i));
        image->setFocusPolicy(Qt::NoFocus);
        image->onClick = [this, i] { recorder_.Image1Clicked(i); };
        Image1_[i] = image;
    }
    Label12 = new QLabel(window);
    Label12->setObjectName(QStringLiteral("Label12"));
    Label12->setGeometry(685, 180, 65, 16);
    if (BcLY) {
        BcLY->setToolTip(WaveRecorder::BcLYToolTip());
        connect(BcLY, &QPushButton::clicked, &recorder_, &WaveRecorder::BcLYClicked);
    }
    connect(&recorder_, &WaveRecorder::changed, this, &RecorderView::refresh);
    window->installEventFilter(this);
    refresh();
}

bool RecorderView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show)
        refresh();
    return QObject::eventFilter(watched, event);
}

void RecorderView::refresh()
{
    for (int i = 0; i < 3; ++i) {
        Image1_[i]->setPixmap(RecorderArtwork::pixmap(recorder_.Image1(i)));
        Image1_[i]->setProperty("bitmap", recorder_.Image1(i));
    }
    Label12->setText(recorder_.elapsedText());
    if (BcLY)
        BcLY->setEnabled(recorder_.BcLYEnabled());
}
