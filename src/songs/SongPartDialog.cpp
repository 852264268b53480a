#include "songs/SongPartDialog.h"

#include "performance/MelodyVoices.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString noteName(int n)
{
    static const char *const names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return QStringLiteral("%1%2").arg(QLatin1String(names[n % 12])).arg(n / 12 - 1);
}

QString instrumentOf(const SongMelody::Part &p)
{
    if (p.percussion)
        return QStringLiteral("打击乐");
    if (p.program < 0)
        return QStringLiteral("未指定");
    return MelodyVoices::instrumentTexts().value(p.program + 1).section(QLatin1Char('.'), 1);
}

}  // namespace

SongPartDialog::SongPartDialog(const SongOpening::PartChoice &choice, QWidget *parent)
    : QDialog(parent), choice_(choice)
{
    setWindowTitle(title());
    const SongImportResult &r = choice.song;
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(QStringLiteral("“%1”有%2个音轨。请选择旋律所在的音轨，可以先试听；"
                                            "程序选中的是第%3轨：%4")
                                 .arg(r.fileName)
                                 .arg(r.parts.size())
                                 .arg(r.part)
                                 .arg(r.partReason),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    const QStringList headers{QStringLiteral("音轨"), QStringLiteral("名称"), QStringLiteral("乐器"),
                              QStringLiteral("音符"), QStringLiteral("音域"), QStringLiteral("推荐")};
    table_ = new QTableWidget(int(r.parts.size()), int(headers.size()), this);
    table_->setObjectName(QStringLiteral("songParts"));
    table_->setHorizontalHeaderLabels(headers);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int row = 0; row < r.parts.size(); ++row) {
        const SongMelody::Part &p = r.parts[row];
        const QStringList cells{QString::number(p.number), p.name, instrumentOf(p), QString::number(p.notes),
                                QStringLiteral("%1–%2").arg(noteName(p.lowest), noteName(p.highest)),
                                p.number == r.part ? QStringLiteral("★") : QString()};
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            // Drums carry no tune: shown, but not to be chosen.
            if (p.percussion)
                item->setFlags(Qt::NoItemFlags);
            table_->setItem(row, column, item);
        }
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_);

    auto *buttons = new QDialogButtonBox(this);
    listen_ = buttons->addButton(listenText(), QDialogButtonBox::ActionRole);
    listen_->setObjectName(QStringLiteral("listen"));
    ok_ = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(listen_, &QPushButton::clicked, this, &SongPartDialog::listenClicked);
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        ok_->setEnabled(selectedPart() > 0);
        // Another part chosen while one plays: hear the new one.
        if (choice_.listening() && selectedPart() > 0)
            choice_.listen(selectedPart());
    });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this] {
        if (selectedPart() > 0)
            accept();
    });
    choice_.onListenEnded([this] { showListening(); });
    selectPart(r.part);
    resize(640, 200 + 30 * int(qMin<qsizetype>(r.parts.size(), 10)));
}

SongPartDialog::~SongPartDialog()
{
    choice_.listen(0);
    choice_.onListenEnded({});
}

int SongPartDialog::selectedPart() const
{
    const QList<QTableWidgetItem *> items = table_->selectedItems();
    if (items.isEmpty())
        return 0;
    return choice_.song.parts.value(items.first()->row()).number;
}

void SongPartDialog::selectPart(int number)
{
    for (int row = 0; row < choice_.song.parts.size(); ++row) {
        if (choice_.song.parts[row].number == number)
            table_->selectRow(row);
    }
    ok_->setEnabled(selectedPart() > 0);
}

void SongPartDialog::listenClicked()
{
    if (choice_.listening())
        choice_.listen(0);
    else if (selectedPart() > 0)
        choice_.listen(selectedPart());
    showListening();
}

void SongPartDialog::showListening()
{
    listen_->setText(choice_.listening() ? stopText() : listenText());
}

int SongPartDialog::choose(const SongOpening::PartChoice &choice, QWidget *parent)
{
    SongPartDialog dialog(choice, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedPart() : 0;
}
