#include "recorder/RecorderView.h"

#include "recorder/WaveRecorder.h"
#include "resources/RecorderArtwork.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

// A button that is its picture: a click is a left press released over it.
// Tab reaches it and Space presses it; a click leaves the focus where it
// was, so the keyboard plays on. The focus shows as a dotted frame.
class PictureButton : public QAbstractButton {
public:
    explicit PictureButton(QWidget *parent) : QAbstractButton(parent) { setFocusPolicy(Qt::TabFocus); }

    void setPicture(const QPixmap &picture)
    {
        picture_ = picture;
        update();
    }
    QPixmap picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.drawPixmap(rect(), picture_);
        if (hasFocus()) {
            p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
            p.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }
    QSize sizeHint() const override { return picture_.deviceIndependentSize().toSize(); }

private:
    QPixmap picture_;
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
        image->setAccessibleName(WaveRecorder::buttonName(i));
        connect(image, &QAbstractButton::clicked, this, [this, i] { recorder_.Image1Clicked(i); });
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
        static_cast<PictureButton *>(Image1_[i])->setPicture(RecorderArtwork::pixmap(recorder_.Image1(i)));
        Image1_[i]->setProperty("bitmap", recorder_.Image1(i));
    }
    Label12->setText(recorder_.elapsedText());
    if (BcLY)
        BcLY->setEnabled(recorder_.BcLYEnabled());
}
