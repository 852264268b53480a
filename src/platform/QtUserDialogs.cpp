#include "platform/QtUserDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>

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

QString QtUserDialogs::openFile(const QString &filter, const QString &initialFolder)
{
    return QFileDialog::getOpenFileName(owner(), QStringLiteral("打开"), initialFolder, qtFilter(filter));
}

QString QtUserDialogs::saveFile(const QString &filter, const QString &initialFolder, bool confirmOverwrite)
{
    QFileDialog::Options options;
    if (!confirmOverwrite)
        options |= QFileDialog::DontConfirmOverwrite;
    return QFileDialog::getSaveFileName(owner(), QStringLiteral("另存为"), initialFolder, qtFilter(filter),
                                        nullptr, options);
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
