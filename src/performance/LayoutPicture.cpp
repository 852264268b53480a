#include "performance/LayoutPicture.h"

#include "resources/KeyArtwork.h"

#include "performance/MelodyVoices.h"
#include "performance/OnScreenKeyboard.h"
#include "widgets/KeyCodes.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr double kMargin = 8;
constexpr double kKeyGap = 3;
constexpr double kRowGap = 6;      // between the function keys and the rest
constexpr double kUnits = 19.5;    // letter keys across: the keyboard, a gap, the keypad
constexpr double kKeypadUnits = 15.5;

// Where the keys of a picture of some size go.
struct Grid {
    explicit Grid(QSizeF size)
        : unit((size.width() - 2 * kMargin) / kUnits), rowPitch((size.height() - 2 * kMargin - kRowGap) / 6)
    {
    }
    double unit;      // width of a letter key
    double rowPitch;
    double keypadLeft() const { return kMargin + kKeypadUnits * unit; }
};

// A key of the drawing: width in units, Windows key code or 0, and the name
// printed on keys without a code.
struct Slot {
    double width;
    int keyCode;
    const char *name;
};

QString octaveWord(QChar octave)
{
    switch (octave.unicode()) {
    case 'L': return QStringLiteral("最低");
    case 'W': return QStringLiteral("低");
    case 'K': return QStringLiteral("中");
    case 'H': return QStringLiteral("高");
    default: return QStringLiteral("最高");
    }
}

QString syllable(QChar note)
{
    const int i = QStringLiteral("CDEFGAB").indexOf(note);
    return i < 0 ? QString() : QStringLiteral("哆唻咪法嗦啦希").mid(i, 1);
}

LayoutPicture::DrawnKey describe(const QRectF &rect, int keyCode, const char *name)
{
    LayoutPicture::DrawnKey k;
    k.rect = rect;
    k.keyCode = keyCode;
    k.role = keyCode ? KeyTable::roleOf(keyCode) : KeyRole::None;
    k.caption = keyCode ? KeyCodes::keyName(keyCode) : QString::fromUtf8(name);
    switch (k.role) {
    case KeyRole::Note: {
        const NoteKey *n = KeyTable::lookup(keyCode);
        k.legend = QString::fromLatin1(n->code);
        k.detail = octaveWord(k.legend[0]) + syllable(k.legend[1]);
        break;
    }
    case KeyRole::Rest:
        k.legend = QStringLiteral("休止 XZ");
        break;
    case KeyRole::Stop:
        k.legend = QStringLiteral("停止演奏 TZ");
        break;
    case KeyRole::Combination:
        k.legend = QStringLiteral("组合")
                   + QString::fromUtf8(MelodyVoices::combination(keyCode - KeyTable::kF1 + 1)->word);
        break;
    case KeyRole::Chord:
        k.legend = QStringLiteral("和弦");
        break;
    case KeyRole::Effect:
        k.legend = QStringLiteral("音效");
        break;
    case KeyRole::Rhythm:
        k.legend = keyCode == KeyTable::kKeypad0 ? QStringLiteral("停节奏")
                                                 : QStringLiteral("节奏") + QString::number(keyCode - KeyTable::kKeypad0);
        break;
    case KeyRole::None:
        break;
    }
    return k;
}

void addRow(QVector<LayoutPicture::DrawnKey> *keys, const Grid &grid, int row, double left,
            std::initializer_list<Slot> keysOfRow)
{
    const double top = kMargin + (row == 0 ? 0 : row * grid.rowPitch + kRowGap);
    double x = left;
    for (const Slot &s : keysOfRow) {
        const double w = s.width * grid.unit;
        if (s.keyCode != 0 || s.name[0] != '\0')
            keys->append(describe(QRectF(x, top, w - kKeyGap, grid.rowPitch - kKeyGap), s.keyCode, s.name));
        x += w;
    }
}

QColor fillOf(const LayoutPicture::DrawnKey &k)
{
    switch (k.role) {
    case KeyRole::Note:
        switch (k.legend[0].unicode()) {
        case 'L': return QColor(255, 214, 170);
        case 'W': return QColor(255, 242, 160);
        case 'K': return QColor(196, 238, 184);
        case 'H': return QColor(180, 220, 255);
        default: return QColor(224, 200, 255);
        }
    case KeyRole::Rest:
    case KeyRole::Stop: return QColor(255, 178, 178);
    case KeyRole::Combination: return QColor(205, 208, 240);
    case KeyRole::Chord: return QColor(255, 200, 230);
    case KeyRole::Effect: return QColor(176, 232, 232);
    case KeyRole::Rhythm: return QColor(236, 224, 190);
    case KeyRole::None: break;
    }
    return QColor(112, 112, 118);
}

// Draws text at the bottom of a key, in a smaller font if it would not fit.
void drawFitted(QPainter &p, const QRectF &box, const QString &text, int pixelSize)
{
    QFont font = p.font();
    for (; pixelSize > 7; --pixelSize) {
        font.setPixelSize(pixelSize);
        if (QFontMetricsF(font).horizontalAdvance(text) <= box.width())
            break;
    }
    font.setPixelSize(pixelSize);
    p.setFont(font);
    p.drawText(box, Qt::AlignHCenter | Qt::AlignBottom, text);
}

}  // namespace

QVector<LayoutPicture::DrawnKey> LayoutPicture::drawnKeys(QSizeF size)
{
    QVector<DrawnKey> keys;
    const Grid g(size);
    const double x = kMargin;
    addRow(&keys, g, 0, x, {{1, 0, "Esc"}, {1, 0, ""}, {1, 0x70, ""}, {1, 0x71, ""}, {1, 0x72, ""},
                         {1, 0x73, ""}, {0.5, 0, ""}, {1, 0x74, ""}, {1, 0x75, ""}, {1, 0x76, ""},
                         {1, 0x77, ""}, {0.5, 0, ""}, {1, 0x78, ""}, {1, 0x79, ""}, {1, 0x7A, ""},
                         {1, 0x7B, ""}});
    addRow(&keys, g, 1, x, {{1, 0xC0, ""}, {1, 0x31, ""}, {1, 0x32, ""}, {1, 0x33, ""}, {1, 0x34, ""},
                         {1, 0x35, ""}, {1, 0x36, ""}, {1, 0x37, ""}, {1, 0x38, ""}, {1, 0x39, ""},
                         {1, 0x30, ""}, {1, 0xBD, ""}, {1, 0xBB, ""}, {2, 8, ""}});
    addRow(&keys, g, 2, x, {{1.5, 0, "Tab"}, {1, 0x51, ""}, {1, 0x57, ""}, {1, 0x45, ""}, {1, 0x52, ""},
                         {1, 0x54, ""}, {1, 0x59, ""}, {1, 0x55, ""}, {1, 0x49, ""}, {1, 0x4F, ""},
                         {1, 0x50, ""}, {1, 0xDB, ""}, {1, 0xDD, ""}, {1.5, 0xDC, ""}});
    addRow(&keys, g, 3, x, {{1.75, 0, "Caps"}, {1, 0x41, ""}, {1, 0x53, ""}, {1, 0x44, ""}, {1, 0x46, ""},
                         {1, 0x47, ""}, {1, 0x48, ""}, {1, 0x4A, ""}, {1, 0x4B, ""}, {1, 0x4C, ""},
                         {1, 0xBA, ""}, {1, 0xDE, ""}, {2.25, 0, "Enter"}});
    addRow(&keys, g, 4, x, {{2.25, 0, "Shift"}, {1, 0x5A, ""}, {1, 0x58, ""}, {1, 0x43, ""}, {1, 0x56, ""},
                         {1, 0x42, ""}, {1, 0x4E, ""}, {1, 0x4D, ""}, {1, 0xBC, ""}, {1, 0xBE, ""},
                         {1, 0xBF, ""}, {2.75, 0, "Shift"}});
    addRow(&keys, g, 5, x, {{1.25, 0, "Ctrl"}, {1.25, 0, "Win"}, {1.25, 0, "Alt"}, {6.25, 32, ""},
                         {1.25, 0, "Alt"}, {1.25, 0, "Win"}, {1.25, 0, "Menu"}, {1.25, 0, "Ctrl"}});
    // The numeric keypad.
    const double kp = g.keypadLeft();
    addRow(&keys, g, 1, kp, {{1, 0, "Num"}, {1, 0, "/"}, {1, 0, "*"}, {1, 0, "-"}});
    addRow(&keys, g, 2, kp, {{1, 0x67, ""}, {1, 0x68, ""}, {1, 0x69, ""}, {1, 0, "+"}});
    addRow(&keys, g, 3, kp, {{1, 0x64, ""}, {1, 0x65, ""}, {1, 0x66, ""}});
    addRow(&keys, g, 4, kp, {{1, 0x61, ""}, {1, 0x62, ""}, {1, 0x63, ""}, {1, 0, "Enter"}});
    addRow(&keys, g, 5, kp, {{2, 0x60, ""}, {1, 0, "."}});
    return keys;
}

QImage LayoutPicture::artwork(QSize size, qreal devicePixelRatio)
{
    const qreal ratio = qBound(1.0, devicePixelRatio, 8.0);
    size = size.expandedTo(QSize(1, 1)).boundedTo(QSize(4000, 4000));
    const QSize pixels(qRound(size.width() * ratio), qRound(size.height() * ratio));
    if (size.height() < kReadableHeight) {
        const qreal grow = qreal(kReadableHeight) / size.height();
        QImage shrunk = artwork(QSize(qRound(size.width() * grow), kReadableHeight), ratio)
                            .scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        shrunk.setDevicePixelRatio(ratio);
        return shrunk;
    }
    QImage img(pixels, QImage::Format_RGB888);
    img.setDevicePixelRatio(ratio);
    img.fill(QColor(58, 60, 68));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont captionFont = p.font();
    captionFont.setPixelSize(11);
    captionFont.setBold(true);
    const QFont plainFont = p.font();

    const QVector<DrawnKey> keys = drawnKeys(size);
    for (const DrawnKey &k : keys) {
        const QColor fill = fillOf(k);
        const bool active = k.role != KeyRole::None;
        p.setPen(QPen(active ? fill.darker(160) : QColor(40, 40, 44), 1));
        p.setBrush(fill);
        p.drawRoundedRect(k.rect, 4, 4);
        const QColor ink = active ? QColor(30, 30, 30) : QColor(215, 215, 215);
        p.setPen(ink);
        p.setFont(captionFont);
        const QRectF inner = k.rect.adjusted(3, 1, -3, -1);
        p.drawText(inner, Qt::AlignLeft | Qt::AlignTop, k.caption);
        if (k.role == KeyRole::Note) {
            p.drawText(inner, Qt::AlignRight | Qt::AlignTop, k.legend);
            p.setFont(plainFont);
            drawFitted(p, inner, k.detail, 10);
        } else if (!k.legend.isEmpty()) {
            p.setFont(plainFont);
            drawFitted(p, inner, k.legend, 11);
        }
    }
    // Title above the keypad.
    QFont title = p.font();
    title.setPixelSize(13);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(240, 240, 240));
    const Grid g(size);
    p.drawText(QRectF(g.keypadLeft(), kMargin, 4 * g.unit, g.rowPitch), Qt::AlignCenter,
               QStringLiteral("小键盘：节奏"));
    return img;
}

LayoutPicture::LayoutPicture(OnScreenKeyboard &keys, QWidget *mainWindow)
    : QWidget(mainWindow), keys_(keys)
{
    setObjectName(QStringLiteral("Picture2"));
    setFocusPolicy(Qt::NoFocus);
    Image3 = new QLabel(this);
    Image3->setObjectName(QStringLiteral("Image3"));
    // Tab reaches the picture and Enter or Space switches it, as a click does.
    Image3->setFocusPolicy(Qt::TabFocus);
    Image3->setAccessibleName(QStringLiteral("键盘分布图"));
    Image3->setAccessibleDescription(QStringLiteral("按回车键放大或缩小键盘分布图"));
    Image3->setCursor(Qt::PointingHandCursor);
    Image3->installEventFilter(this);

    // The caption lies beside the picture in the main window.
    Label3 = new QLabel(mainWindow ? mainWindow : this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->move(OnScreenKeyboard::label3Position());

    connect(&keys_, &OnScreenKeyboard::layoutChanged, this, &LayoutPicture::showLayout);
    showLayout();
}

void LayoutPicture::showLayout()
{
    const QRect g = keys_.picture2Geometry();
    setGeometry(g);
    Image3->setGeometry(QRect(QPoint(0, 0), keys_.image3Size()));
    // Drawn for the size and the device pixels of the picture, so that it
    // stays sharp at 2x scaling and its captions keep their shape.
    const QImage shown = artwork(keys_.image3Size(), KeyArtwork::screenPixelRatio());
    Image3->setPixmap(QPixmap::fromImage(shown));
    Label3->setText(keys_.label3Caption());
    Label3->adjustSize();
    if (keys_.layoutLarge())
        raise();  // over the score box and the panels
}

bool LayoutPicture::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Image3 && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            keys_.layoutClicked();
            return true;
        }
    }
    if (watched == Image3 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            keys_.layoutClicked();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
