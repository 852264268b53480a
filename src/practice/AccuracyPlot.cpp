#include "practice/AccuracyPlot.h"

#include "practice/PracticeGrading.h"

#include <QPainter>
#include <QPainterPath>
#include <QStringList>

AccuracyPlot::AccuracyPlot(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("practicePlot"));
    setMinimumSize(sizeHint());
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("准确率变化图"));
    setValues({});
}

void AccuracyPlot::setValues(const QVector<double> &values)
{
    shown_ = values.mid(qMax(0, int(values.size()) - kRuns));
    // A screen reader cannot see the line: it hears the figures.
    QStringList figures;
    for (double v : std::as_const(shown_))
        figures << Practice::oneDecimal(v) + QLatin1Char('%');
    setAccessibleDescription(figures.isEmpty() ? QStringLiteral("这首乐谱还没有练习记录")
                                               : QStringLiteral("最近%1次的准确率：%2")
                                                     .arg(shown_.size())
                                                     .arg(figures.join(QStringLiteral("，"))));
    setToolTip(accessibleDescription());
    update();
}

void AccuracyPlot::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), Qt::white);
    const QRectF area = QRectF(rect()).adjusted(34, 8, -8, -16);
    QFont small = font();
    small.setPixelSize(10);
    p.setFont(small);
    p.setPen(QColor(150, 150, 150));
    for (int level : {0, 50, 100}) {
        const qreal y = area.bottom() - area.height() * level / 100.0;
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.drawText(QRectF(0, y - 7, 30, 14), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1%").arg(level));
    }
    p.drawText(QRectF(area.left(), area.bottom() + 2, area.width(), 14), Qt::AlignCenter,
               shown_.isEmpty() ? QStringLiteral("还没有练习记录") : QStringLiteral("最近%1次练习的准确率").arg(shown_.size()));
    if (shown_.isEmpty())
        return;
    const auto point = [&](int i) {
        const qreal x = shown_.size() == 1 ? area.center().x()
                                           : area.left() + area.width() * i / (kRuns - 1);
        return QPointF(x, area.bottom() - area.height() * qBound(0.0, shown_[i], 100.0) / 100.0);
    };
    QPainterPath line(point(0));
    for (int i = 1; i < shown_.size(); ++i)
        line.lineTo(point(i));
    p.setPen(QPen(QColor(40, 110, 230), 2));
    p.drawPath(line);
    p.setBrush(QColor(40, 110, 230));
    for (int i = 0; i < shown_.size(); ++i)
        p.drawEllipse(point(i), i + 1 == shown_.size() ? 4.0 : 2.5, i + 1 == shown_.size() ? 4.0 : 2.5);
}
