#include "performance/PianoKeys.h"

#include "performance/KeyTable.h"
#include "performance/OnScreenKeyboard.h"
#include "resources/KeyArtwork.h"

#include <QLabel>
#include <QMouseEvent>

PianoKeys::PianoKeys(OnScreenKeyboard &keys, QWidget *parent)
    : QWidget(parent), keys_(keys), handler_(keys)
{
    setObjectName(QStringLiteral("PianoKeys"));
    setGeometry(0, kTop, 988, 337 - kTop);
    for (int i = 0; i < 4; ++i)
        pixmaps_[size_t(i)] = KeyArtwork::pixmap(KeyArtwork::kWhiteUp + i);

    const QRect pad = OnScreenKeyboard::mutePadRect().translated(0, -kTop);
    Label1 = new QLabel(OnScreenKeyboard::mutePadCaption(), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(pad);
    Label1->setAlignment(Qt::AlignCenter);
    QFont small = Label1->font();
    small.setPixelSize(11);
    Label1->setFont(small);
    // See-through, so the layout picture's caption between its two halves shows.
    Label1->setAutoFillBackground(false);
    Label1->setMouseTracking(true);
    Label1->setCursor(Qt::ArrowCursor);
    Label1->installEventFilter(this);

    // White keys first, so the black ones lie on top.
    for (int pass = 0; pass < 2; ++pass) {
        for (int o = 0; o < OnScreenKeyboard::kKeys; ++o) {
            if (KeyTable::isBlackKey(o) != (pass == 1))
                continue;
            auto *label = new QLabel(this);
            label->setObjectName(QStringLiteral("Picture1(%1)").arg(o));
            label->setGeometry(OnScreenKeyboard::keyRect(o).translated(0, -kTop));
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
            label->setAccessibleName(KeyTable::keyName(o));
            picture1_[size_t(o)] = label;
            showPicture(o, keys_.picture(o));
        }
    }
    setCursor(KeyArtwork::keyCursor());

    connect(&keys_, &OnScreenKeyboard::pictureChanged, this, &PianoKeys::showPicture);
    connect(&keys_, &OnScreenKeyboard::keysEnabledChanged, this, &PianoKeys::setKeysEnabled);
    setKeysEnabled(keys_.keysEnabled());
}

QLabel *PianoKeys::picture1(int offset) const
{
    if (offset < 0 || offset >= OnScreenKeyboard::kKeys)
        return nullptr;
    return picture1_[size_t(offset)];
}

void PianoKeys::showPicture(int offset, int picture)
{
    QLabel *label = picture1(offset);
    const int index = picture - KeyArtwork::kWhiteUp;
    if (!label || index < 0 || index >= 4)
        return;
    label->setPixmap(pixmaps_[size_t(index)]);
    label->setProperty("picture", picture);
}

void PianoKeys::setKeysEnabled(bool)
{
    Label1->setVisible(keys_.mutePadVisible());
}

int PianoKeys::keyUnder(const QPoint &localPos) const
{
    return OnScreenKeyboard::keyAt(localPos + QPoint(0, kTop));
}

void PianoKeys::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !keys_.keysEnabled()) {
        event->ignore();
        return;
    }
    handler_.pianoPressed(keyUnder(event->position().toPoint()));
}

void PianoKeys::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        handler_.pianoMovedTo(keyUnder(event->position().toPoint()));
}

void PianoKeys::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        handler_.pianoReleased();
}

bool PianoKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label1 && event->type() == QEvent::MouseMove)
        handler_.mutePadTouched();
    return QWidget::eventFilter(watched, event);
}
