#include <QApplication>

#include "TestMain.h"

#include "platform/dialogs/QtUserDialogs.h"

#include <QAbstractItemView>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

class FileDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // As the program sets itself up, whatever the system's language.
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    }

    // Sizes and dates in Chinese, the file type column wide enough for a
    // Chinese type name.
    void sizesAndDatesInChinese()
    {
        QTemporaryDir dir;
        QFile score(dir.filePath("两只老虎.txt"));
        QVERIFY(score.open(QIODevice::WriteOnly));
        score.write(QByteArray(93, 'K'));
        score.close();
        QVERIFY(QDir().mkdir(dir.filePath("子文件夹")));

        QFileDialog dialog(nullptr, "打开", dir.path(), "乐谱记录txt (*.txt)");
        QtUserDialogs::makeChinese(dialog);
        QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *details = dialog.findChild<QTreeView *>("treeView");
        QVERIFY(details);
        QAbstractItemModel *model = details->model();
        QModelIndex file, folder;
        QTRY_VERIFY((file = find(model, details->rootIndex(), "两只老虎.txt")).isValid());
        QTRY_VERIFY((folder = find(model, details->rootIndex(), "子文件夹")).isValid());
        const QLocale zh(QLocale::Chinese, QLocale::China);
        QTRY_COMPARE(file.siblingAtColumn(1).data().toString(), zh.formattedDataSize(93));
        QVERIFY(!file.siblingAtColumn(1).data().toString().contains("byte"));
        const QDateTime modified = QFileInfo(score.fileName()).lastModified();
        QCOMPARE(file.siblingAtColumn(3).data().toString(), zh.toString(modified, QLocale::ShortFormat));
        QVERIFY(folder.siblingAtColumn(1).data().toString().isEmpty());
        // Every column shows its texts whole.
        const QFontMetrics metrics(details->font());
        for (const QModelIndex &row : {file, folder}) {
            for (int column = 1; column <= 3; ++column) {
                const QString text = row.siblingAtColumn(column).data().toString();
                QVERIFY2(metrics.horizontalAdvance(text) + 8 <= details->header()->sectionSize(column),
                         qPrintable(QStringLiteral("%1 in a column %2 wide").arg(text).arg(details->header()->sectionSize(column))));
            }
        }
        QVERIFY(metrics.horizontalAdvance("纯文本文档") + 8 <= details->header()->sectionSize(2));
        // The columns fit beside each other without scrolling.
        QVERIFY(details->header()->length() <= details->viewport()->width());
    }

private:
    static QModelIndex find(QAbstractItemModel *model, const QModelIndex &parent, const QString &name)
    {
        for (int r = 0; r < model->rowCount(parent); ++r) {
            const QModelIndex i = model->index(r, 0, parent);
            if (i.data().toString() == name)
                return i;
        }
        return QModelIndex();
    }
};

DZQ_REGISTER_TEST(FileDialogTest)
#include "FileDialogTest.moc"
