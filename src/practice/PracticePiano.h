#pragma once

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QSet>
#include <QWidget>

#include <array>
#include <functional>

// The practice window's piano: the 65 keys of the main window's piano, the
// key to press marked in blue (in 跟节奏 filling up as its time comes) with
// the computer key that plays it written on it, the keys held drawn down,
// and a key just judged flashing green (right) or red (wrong). A click plays
// a key; the computer keys reach the window, never this widget.
class PracticePiano : public QWidget {
    Q_OBJECT
public:
    static constexpr int kKeys = 65;
    static constexpr qint64 kFlashNs = 350LL * 1000 * 1000;

    explicit PracticePiano(QWidget *parent = nullptr);

    // The key to press (-1 none), the name written on it and how full its
    // mark is (1: all of it).
    void setTarget(int offset, const QString &label, double fill);
    int target() const { return target_; }
    double fill() const { return fill_; }
    void setHeld(int offset, bool down);
    bool isHeld(int offset) const { return held_.contains(offset); }
    // A key was judged at `nowNs`: it flashes until kFlashNs later.
    void flash(int offset, bool right, qint64 nowNs);
    // The colour a key flashes at `nowNs`; invalid when it does not.
    QColor flashAt(int offset, qint64 nowNs) const;
    bool flashing(qint64 nowNs) const;
    // The time the flashes are measured against (the session's clock).
    std::function<qint64()> now;

    static QRect keyRect(int offset);
    static int keyAt(const QPoint &point);

    // How often the piano has been painted (for the benchmark and tests).
    int paints() const { return paints_; }

signals:
    void pressed(int offset);
    void released(int offset);
    // Painted with the latest judgement shown.
    void painted();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    struct Flash {
        bool right = false;
        qint64 untilNs = 0;
    };
    void updateKey(int offset);

    int target_ = -1;
    QString label_;
    double fill_ = 0;
    QSet<int> held_;
    QHash<int, Flash> flashes_;
    std::array<QPixmap, 4> pictures_;
    int mouseKey_ = -1;
    int paints_ = 0;
};
