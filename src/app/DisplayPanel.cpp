#include "app/DisplayPanel.h"

#include "core/WindowDisplay.h"

#include <QLabel>

namespace {

// A message whose words do not fit the status line (a long keyboard name)
// is cut between characters, with "…", rather than clipped in the middle of
// a letter. Only the trailing "。。。" may run over, as it always has.
QString fitted(const QLabel &line, const QString &text)
{
    QString words = text;
    while (words.endsWith(QChar(0x3002)))
        words.chop(1);
    const QFontMetrics metrics = line.fontMetrics();
    const int width = line.contentsRect().width();
    if (metrics.horizontalAdvance(words) <= width)
        return text;
    return metrics.elidedText(words, Qt::ElideRight, width);
}

}  // namespace

DisplayPanel::DisplayPanel(WindowDisplay &window, QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("xsq"));
    setFrameShape(QFrame::StyledPanel);
    setGeometry(408, 0, 175, 153);

    auto *xsp = new QFrame(this);
    xsp->setObjectName(QStringLiteral("XsP"));
    xsp->setGeometry(8, 16, 158, 129);
    xsp->setFrameShape(QFrame::Panel);
    xsp->setFrameShadow(QFrame::Sunken);
    xsp->setAutoFillBackground(true);
    QPalette pal = xsp->palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 225));
    xsp->setPalette(pal);

    XSWB = new QLabel(window.XSWB(), xsp);
    XSWB->setObjectName(QStringLiteral("XSWB"));
    XSWB->setGeometry(4, 5, 145, 89);
    XSWB->setWordWrap(true);
    XSWB->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    FJWZ = new QLabel(window.FJWZ(), xsp);
    FJWZ->setObjectName(QStringLiteral("FJWZ"));
    FJWZ->setGeometry(4, 100, 145, 18);
    QFont statusFont = FJWZ->font();
    statusFont.setPixelSize(11);
    FJWZ->setFont(statusFont);
    QPalette status = FJWZ->palette();
    status.setColor(QPalette::WindowText, QColor(0, 0, 160));
    FJWZ->setPalette(status);

    // The texts carry their own line breaks (CR LF); a label breaks at LF.
    auto shown = [](QString text) { return text.remove(QLatin1Char('\r')); };
    connect(&window, &WindowDisplay::xswbChanged, XSWB, [this, shown](const QString &t) { XSWB->setText(shown(t)); });
    connect(&window, &WindowDisplay::fjwzChanged, FJWZ, [this, shown](const QString &t) {
        FJWZ->setText(fitted(*FJWZ, shown(t)));
        FJWZ->setToolTip(shown(t));  // a long message can still be read whole
    });
}
