#include "platform/QtUserDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>

namespace {
QWidget *owner()
{
    return QApplication::activeWindow();
}
}  // namespace

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
