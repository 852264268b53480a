#include "platform/dialogs/QtUserDialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDateTime>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <atomic>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

QtUserDialogs::QtUserDialogs()
{
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        watch_ = QObject::connect(app, &QApplication::focusChanged, app, [this](QWidget *, QWidget *now) {
            // Our own boxes and file dialogs are no owners of the next box.
            if (now && !now->window()->isModal() && !(now->window()->windowType() == Qt::Popup))
                lastWindow_ = now->window();
        });
    }
}

QtUserDialogs::~QtUserDialogs()
{
    QObject::disconnect(watch_);
}

QWidget *QtUserDialogs::owner() const
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    if (lastWindow_ && lastWindow_->isVisible())
        return lastWindow_;
    return nullptr;
}

void QtUserDialogs::message(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? programTitle() : title, text,
                    QMessageBox::NoButton, owner());
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
}

QString QtUserDialogs::qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')));
    return filters.join(QStringLiteral(";;"));
}

namespace {

// Qt's file model writes sizes and dates in the system's language (QLocale::
// system()), whatever the program's own locale; these columns are written
// here in the program's locale instead.
class LocalFileColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const QVariant shown = QIdentityProxyModel::data(index, role);
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || shown.toString().isEmpty())
            return shown;
        const QModelIndex source = mapToSource(index);
        if (index.column() == 1)
            return QLocale().formattedDataSize(files->size(source));
        if (index.column() == 3)
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        return shown;
    }
};

}  // namespace

void QtUserDialogs::makeChinese(QFileDialog &dialog)
{
    // A desktop's own dialog would speak the system's language.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new LocalFileColumns(&dialog));
    auto *details = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!details)
        return;
    const QFontMetrics metrics(details->font());
    const QLocale here;
    const int padding = 2 * metrics.averageCharWidth() + details->style()->pixelMetric(QStyle::PM_HeaderMargin) * 2;
    QHeaderView *header = details->header();
    // Room for the names of the record folder's files; the other columns
    // fit beside it in the dialog's width.
    header->resizeSection(0, metrics.horizontalAdvance(QStringLiteral("演奏记录演奏记录演奏记录.txt")) + padding);
    header->resizeSection(1, metrics.horizontalAdvance(here.formattedDataSize(999 * 1024)) + padding);
    header->resizeSection(2, metrics.horizontalAdvance(QStringLiteral("纯文本文档文")) + padding);
    header->resizeSection(3, metrics.horizontalAdvance(here.toString(QDateTime(QDate(2026, 12, 31), QTime(23, 59)),
                                                                      QLocale::ShortFormat))
                                 + padding);
}

QString QtUserDialogs::openFile(const QString &filter, const QString &initialFolder)
{
    QFileDialog dialog(owner(), QStringLiteral("打开"), initialFolder, qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    makeChinese(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString QtUserDialogs::filterSuffix(const QString &qtFilter)
{
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.([^ *?)]+)"));
    return pattern.match(qtFilter).captured(1);
}

QString QtUserDialogs::saveFile(const QString &filter, const QString &initialFolder, bool confirmOverwrite)
{
    QFileDialog dialog(owner(), QStringLiteral("另存为"), initialFolder, qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    makeChinese(dialog);
    if (!confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // A name typed without an extension gets the one of the chosen file
    // type, and the question about overwriting is asked about that name.
    dialog.setDefaultSuffix(filterSuffix(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString &chosen) { dialog.setDefaultSuffix(filterSuffix(chosen)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

bool QtUserDialogs::input(const QString &prompt, const QString &title, const QString &defaultText,
                          QString *text)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(owner(), title.isEmpty() ? programTitle() : title, prompt,
                                                 QLineEdit::Normal, defaultText, &ok);
    if (ok)
        *text = answer;
    return ok;
}

bool QtUserDialogs::openUrl(const QString &url)
{
    return QDesktopServices::openUrl(QUrl(url));
}

namespace {

// The box of a long task. The cancel button, Esc and the close button only
// ask the task to stop: the box stays until the task has stopped, so that
// nothing else can start meanwhile.
class TaskProgressDialog : public QProgressDialog {
public:
    TaskProgressDialog(const QString &label, QWidget *owner) : QProgressDialog(owner)
    {
        setObjectName(QStringLiteral("TaskProgress"));
        setWindowTitle(programTitle());
        setLabelText(label);
        // Our own bar: QProgressDialog::setValue runs the event loop itself.
        bar_ = new QProgressBar(this);
        bar_->setRange(0, 100);
        setBar(bar_);
        cancel_ = new QPushButton(QStringLiteral("取消"), this);
        setCancelButton(cancel_);
        setAutoClose(false);
        setAutoReset(false);
        setMinimumDuration(0);
        setMinimumWidth(320);
        setWindowModality(Qt::ApplicationModal);
        // QProgressDialog hides itself on cancel; here cancelling only asks.
        QObject::disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
        QObject::connect(this, &QProgressDialog::canceled, this, [this] { askToStop(); });
    }

    void showPercent(int percent) { bar_->setValue(qBound(0, percent, 100)); }
    void finish() { QDialog::done(QDialog::Accepted); }

    std::atomic<bool> stopAsked{false};

protected:
    void reject() override { askToStop(); }  // Esc
    void closeEvent(QCloseEvent *event) override
    {
        event->ignore();
        askToStop();
    }

private:
    void askToStop()
    {
        if (stopAsked.exchange(true))
            return;
        setLabelText(QStringLiteral("正在取消……"));
        cancel_->setEnabled(false);
    }

    QProgressBar *bar_ = nullptr;
    QPushButton *cancel_ = nullptr;
};

}  // namespace

void QtUserDialogs::runWithProgress(const QString &label, const std::function<void(const ProgressReport &)> &task)
{
    TaskProgressDialog dialog(label, owner());
    std::atomic<int> percent{0};
    const ProgressReport report = [&](int done) {
        percent.store(done);
        return !dialog.stopAsked.load();
    };
    QThread *worker = QThread::create([&] {
#ifdef Q_OS_LINUX
        // Nicer than the program's other threads (and the threads the task
        // starts inherit it), so that the live keyboard keeps sounding clean.
        setpriority(PRIO_PROCESS, 0, 10);
#endif
        task(report);
    });
    // The box follows the task's percent; it closes when the task is done.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] { dialog.showPercent(percent.load()); });
    QObject::connect(worker, &QThread::finished, &dialog, [&] { dialog.finish(); });
    poll.start(50);
    worker->start();
    dialog.exec();
    worker->wait();
    delete worker;
}
