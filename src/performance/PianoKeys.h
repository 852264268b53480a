#pragma once

#include <QPixmap>
#include <QWidget>

#include <array>

class QLabel;
class OnScreenKeyboard;
class PianoHandler;

// The strip along the bottom of the main window, (0, 204) to (988, 337):
// the mute pad Label1 on top and the 65 key pictures Picture1(0..64) below
// it at y 216. It places itself in its parent (the main window) at (0, 204).
//
// The key widgets only show pictures; this widget takes the mouse for all of
// them, maps the pointer to a key (black keys first) and reports to the
// keyboard's piano handler, which decides what sounds.
class PianoKeys : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTop = 204;

    explicit PianoKeys(OnScreenKeyboard &keys, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;  // the mute pad
    QLabel *picture1(int offset) const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int keyUnder(const QPoint &localPos) const;
    void showPicture(int offset, int picture);
    void setKeysEnabled(bool enabled);

    OnScreenKeyboard &keys_;
    PianoHandler &handler_;
    std::array<QLabel *, 65> picture1_{};  // Picture1(0..64)
    std::array<QPixmap, 4> pixmaps_;       // pictures 102..105
};
