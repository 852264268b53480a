#pragma once

#include <QCheckBox>

// One step cell of the rhythm grid: a small check box drawn as a square in
// its background colour (red or yellow) with a tick when set. The whole
// square takes the click.
class RhythmCellBox : public QCheckBox {
    Q_OBJECT
public:
    explicit RhythmCellBox(QWidget *parent = nullptr);

    QColor colour() const { return palette().color(QPalette::Window); }
    void setColour(const QColor &colour);
    // A cell that does not fit wholly inside its track (cell 16, of which
    // only the first pixel column shows) cannot be used.
    bool usable() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};
