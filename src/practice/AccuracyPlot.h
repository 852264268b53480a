#pragma once

#include <QVector>
#include <QWidget>

// A small plot of the accuracy of the last runs of a score (0..100 %),
// oldest on the left, the newest marked.
class AccuracyPlot : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRuns = 20;  // the runs shown at most

    explicit AccuracyPlot(QWidget *parent = nullptr);

    // All the runs recorded, oldest first; the last kRuns are shown.
    void setValues(const QVector<double> &values);
    const QVector<double> &shown() const { return shown_; }
    QSize sizeHint() const override { return QSize(260, 96); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVector<double> shown_;
};
