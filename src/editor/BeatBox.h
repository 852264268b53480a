#pragma once

#include <QCheckBox>
#include <QColor>

// One box of a percussion row: a square filled with the colour of its beat
// band, ticked with a mark that stands out on that colour. The whole box
// takes the click.
class BeatBox : public QCheckBox {
    Q_OBJECT
public:
    BeatBox(const QColor &fill, QWidget *parent = nullptr);

    QColor fill() const { return fill_; }
    // The mark's colour: white on a dark fill, black on a light one.
    QColor markColour() const;
    // The square drawn inside the box.
    QRect square() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QColor fill_;
};
