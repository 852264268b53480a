#pragma once

#include "performance/KeyTable.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>
#include <QWidget>

class QLabel;
class OnScreenKeyboard;

// Picture2 with the image Image3: a picture of the computer keyboard that
// shows what every key does, drawn from the key table itself so that it
// always tells the truth. A click on it toggles small (408, 152, 175 x 51)
// and large (0, 0, 988 x 204); the caption Label3 at (435, 204) says which.
// Picture2 and Label3 are children of the main window, placed here.
class LayoutPicture : public QWidget {
    Q_OBJECT
public:
    // One key as the picture shows it, in artwork pixels.
    struct DrawnKey {
        QRectF rect;
        int keyCode = 0;  // 0 for keys without a role (Ctrl, Shift, ...)
        KeyRole role = KeyRole::None;
        QString caption;  // the key's name
        QString legend;   // what it does: note code, "休止 XZ", "组合五", ...
        QString detail;   // for note keys: octave word and syllable
    };

    // Lower pictures are drawn this high, with the same proportions, and
    // shrunk: captions need that much room to be drawn at all.
    static constexpr int kReadableHeight = 200;

    LayoutPicture(OnScreenKeyboard &keys, QWidget *mainWindow);

    // Image3: the picture of the computer keyboard; a click makes it large or small
    QLabel *Image3 = nullptr;
    // Label3: "点击图片查看键盘分布", or "点击图片收回键盘分布" while large
    QLabel *Label3 = nullptr;

    // The keyboard laid out to fill a picture of this size.
    static QVector<DrawnKey> drawnKeys(QSizeF size);
    // The artwork for a picture of this size (logical pixels) at a device
    // pixel ratio: the keys fill the picture and every caption keeps its
    // own shape, whatever the picture's proportions.
    static QImage artwork(QSize size, qreal devicePixelRatio = 1.0);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showLayout();

    OnScreenKeyboard &keys_;
};
