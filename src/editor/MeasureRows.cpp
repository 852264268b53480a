#include "editor/MeasureRows.h"

#include "editor/BeatBox.h"
#include "editor/EditorControls.h"
#include "widgets/AccessibleName.h"
#include "widgets/ChoiceList.h"
#include "resources/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QSignalBlocker>

namespace {

constexpr int kMelodyRows = EditorControls::kMelodyRows;

QRect rowRect(int row, int x, int width)
{
    return QRect(x, MeasureRows::kTop + 2 + MeasureRows::kPitch * row, width, 22);
}

// Two characters of a melody text stand above one step of the grid: a fixed
// pitch font drawn ten pixels to a character.
QFont cellFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(14);
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('M'));
    font.setLetterSpacing(QFont::AbsoluteSpacing, MeasureRows::kStep / 2.0 - advance);
    return font;
}

void paintBackground(QWidget *w, const QColor &colour, QPalette::ColorRole role)
{
    QPalette pal = w->palette();
    pal.setColor(role, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

}  // namespace

QColor MeasureRows::beatColour(int beat)
{
    // Light magenta, light green, light blue, light yellow, beat after beat.
    static const QRgb colours[] = {qRgb(255, 0, 255), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
    return QColor(colours[((beat % 4) + 4) % 4]);
}

QColor MeasureRows::melodyColour(int row)
{
    // Green, cyan, red, magenta and dark yellow of the 16-colour palette.
    static const QRgb colours[] = {qRgb(0, 128, 0), qRgb(0, 128, 128), qRgb(128, 0, 0), qRgb(128, 0, 128),
                                   qRgb(128, 128, 0)};
    return QColor(colours[qBound(0, row, 4)]);
}

MeasureRows::MeasureRows(EditorControls &controls, QWidget *window) : QObject(window), controls_(controls)
{
    Picture1_ = new QFrame(window);
    Picture1_->setObjectName(QStringLiteral("Picture1"));
    Picture1_->setFrameShape(QFrame::StyledPanel);
    Picture1_->setGeometry(kLeft, kTop, 465, kHeight);
    Picture1_->lower();
    for (int r = 0; r < EditorControls::kRows; ++r)
        buildRow(r, window);
    JZXSGC(controls_.gridBoxes());

    connect(&controls_, &EditorControls::instrumentChanged, this,
            [this](int row, int index) { SYYQ[size_t(row)]->setCurrentIndex(index); });
    connect(&controls_, &EditorControls::volumeTextChanged, this, &MeasureRows::showVolume);
    connect(&controls_, &EditorControls::melodyTextChanged, this, [this](int row, const QString &text) {
        QLineEdit *box = YF1[size_t(row)];
        if (box->text() != text)
            box->setText(text);
    });
    connect(&controls_, &EditorControls::boxChanged, this, &MeasureRows::showBox);
    connect(&controls_, &EditorControls::gridRebuilt, this, &MeasureRows::JZXSGC);
}

void MeasureRows::buildRow(int row, QWidget *window)
{
    const size_t r = size_t(row);
    Label1[r] = new QLabel(QStringLiteral("乐器%1").arg(row + 1), window);
    Label1[r]->setObjectName(QStringLiteral("Label1(%1)").arg(row));
    Label1[r]->setGeometry(rowRect(row, 4, 40));

    auto *list = new ChoiceList(window);
    list->setObjectName(QStringLiteral("SYYQ(%1)").arg(row));
    list->addItems(row < kMelodyRows ? StringTable::instrumentNames() : StringTable::drumNames());
    list->setMaxVisibleItems(20);
    list->setGeometry(rowRect(row, 44, 84));
    list->view()->setMinimumWidth(150);  // the whole names in the opened list
    list->setCurrentIndex(controls_.instrument(row));
    nameControl(list, Label1[r]->text(), Label1[r]);
    connect(list, &QComboBox::activated, this, [this, row](int index) { controls_.selectInstrument(row, index); });
    SYYQ[r] = list;

    auto *volume = new QComboBox(window);
    volume->setObjectName(QStringLiteral("YQYL(%1)").arg(row));
    volume->setEditable(true);
    volume->setInsertPolicy(QComboBox::NoInsert);
    volume->addItems(EditorControls::volumeList());
    volume->setGeometry(rowRect(row, 129, 44));
    nameControl(volume, Label1[r]->text() + QStringLiteral("音量"));
    showVolume(row, controls_.volumeText(row));
    connect(volume, &QComboBox::editTextChanged, this,
            [this, row](const QString &text) { controls_.typeVolumeText(row, text); });
    // A text that was not taken shows the row's volume again when left.
    connect(volume->lineEdit(), &QLineEdit::editingFinished, this,
            [this, row] { showVolume(row, controls_.volumeText(row)); });
    YQYL[r] = volume;

    if (row < kMelodyRows) {
        auto *text = new QLineEdit(Picture1_);
        text->setObjectName(QStringLiteral("YF1(%1)").arg(row));
        text->setFont(cellFont());
        text->setFrame(false);
        text->setTextMargins(0, 0, 0, 0);
        text->setMaxLength(controls_.melodyMaxLength());
        text->setGeometry(4, 2 + kPitch * row, 325, 22);
        nameControl(text, Label1[r]->text() + QStringLiteral("旋律"));
        paintBackground(text, melodyColour(row), QPalette::Base);
        QPalette pal = text->palette();
        pal.setColor(QPalette::Text, Qt::white);
        text->setPalette(pal);
        text->setText(controls_.melodyText(row));
        connect(text, &QLineEdit::textEdited, this,
                [this, row](const QString &t) { controls_.setMelodyText(row, t); });
        text->installEventFilter(this);
        YF1[r] = text;
    } else {
        DJY[size_t(row - kMelodyRows)].push_back(makeBox(row, 0));
    }
}

QCheckBox *MeasureRows::makeBox(int row, int step)
{
    auto *box = new BeatBox(beatColour(step / 4), Picture1_);
    box->setObjectName(QStringLiteral("DJY%1(%2)").arg(row - kMelodyRows + 1).arg(step));
    box->setGeometry(4 + boxOffset(step), 2 + kPitch * row, kStep - 1, 22);
    box->setChecked(controls_.boxTicked(row, step));
    nameControl(box, QStringLiteral("乐器%1第%2格").arg(row + 1).arg(step + 1));
    connect(box, &QCheckBox::clicked, this, [this, row, step](bool ticked) { controls_.clickBox(row, step, ticked); });
    box->show();
    return box;
}

void MeasureRows::JZXSGC(int boxes)
{
    for (auto &row : DJY) {
        while (row.size() > 1) {
            delete row.back();
            row.pop_back();
        }
    }
    boxes_ = qMax(1, boxes);
    for (int v = 0; v < EditorControls::kPercussionRows; ++v) {
        const int row = kMelodyRows + v;
        showBox(row, 0, controls_.boxTicked(row, 0));
        for (int i = 1; i < boxes_; ++i)
            DJY[size_t(v)].push_back(makeBox(row, i));
    }
}

void MeasureRows::layOut(int pictureWidth, int textWidth)
{
    Picture1_->resize(pictureWidth, kHeight);
    for (QLineEdit *text : YF1) {
        text->resize(textWidth, text->height());
        text->setMaxLength(controls_.melodyMaxLength());
    }
}

void MeasureRows::showBox(int row, int step, bool ticked)
{
    const int v = row - kMelodyRows;
    if (v < 0 || v >= EditorControls::kPercussionRows || step < 0 || step >= int(DJY[size_t(v)].size()))
        return;
    QSignalBlocker quiet(DJY[size_t(v)][size_t(step)]);
    DJY[size_t(v)][size_t(step)]->setChecked(ticked);
}

void MeasureRows::showVolume(int row, const QString &text)
{
    QComboBox *box = YQYL[size_t(row)];
    if (!box || box->currentText() == text)
        return;
    QSignalBlocker quiet(box);
    const int listed = box->findText(text);
    box->setCurrentIndex(listed);
    box->setEditText(text);
}

bool MeasureRows::eventFilter(QObject *watched, QEvent *event)
{
    // Leaving a melody box cuts its text into the measure's cells.
    if (event->type() == QEvent::FocusOut) {
        for (int r = 0; r < kMelodyRows; ++r) {
            if (watched == YF1[size_t(r)])
                controls_.melodyFocusLost(r);
        }
    }
    return QObject::eventFilter(watched, event);
}
