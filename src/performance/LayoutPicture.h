#pragma once

#include "performance/KeyTable.h"

#include <QImage>
#include <QRectF>
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

    static constexpr int kArtworkWidth = 912;
    static constexpr int kArtworkHeight = 261;

    LayoutPicture(OnScreenKeyboard &keys, QWidget *mainWindow);

    QLabel *Image3 = nullptr;
    QLabel *Label3 = nullptr;

    // The keyboard as drawn.
    static QVector<DrawnKey> drawnKeys();
    // The artwork, 912 x 261 (times scale, drawn at that size).
    static QImage artwork(qreal scale = 1.0);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showLayout();

    OnScreenKeyboard &keys_;
    QImage artwork_;
};
