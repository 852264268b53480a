#include <QApplication>

#include "TestMain.h"

#include "widgets/ChoiceList.h"
#include "platform/dialogs/QtUserDialogs.h"

#include <QAbstractItemView>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QToolTip>
#include <QTreeView>

namespace {

// The text the closed list draws.
struct ShownList : ChoiceList {
    QString shown() const
    {
        QStyleOptionComboBox option;
        initStyleOption(&option);
        return option.currentText;
    }
    int room() const
    {
        QStyleOptionComboBox option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width();
    }
};

}  // namespace

class ChoiceListTest : public QObject {
    Q_OBJECT
private slots:
    // A name too long for the box ends after a whole character with "…";
    // a name that fits is shown as it is.
    void longNamesEndInAnEllipsis()
    {
        ShownList list;
        list.addItems({"15.编钟", "52.合成弦乐2", "25.尼龙弦吉它", "65.最高音萨克斯"});
        list.resize(84, 22);
        QCOMPARE(list.shown(), QString("15.编钟"));
        for (int i = 1; i < list.count(); ++i) {
            list.setCurrentIndex(i);
            const QString shown = list.shown();
            QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
            QVERIFY(list.currentText().startsWith(shown.chopped(1)));
            QVERIFY(list.fontMetrics().horizontalAdvance(shown) <= list.room());
            QCOMPARE(list.currentText(), list.itemText(i));  // the entry itself is whole
        }
        list.resize(300, 22);
        QCOMPARE(list.shown(), QString("65.最高音萨克斯"));
        list.setEditable(true);
        list.resize(84, 22);
        QCOMPARE(list.shown(), QString("65.最高音萨克斯"));
    }

    // The cut name is whole in the tooltip and in the open list.
    void cutNamesAreWholeElsewhere()
    {
        QWidget window;
        auto *list = new ChoiceList(&window);
        list->addItems({"15.编钟", "65.最高音萨克斯"});
        list->setGeometry(10, 10, 84, 22);
        window.resize(300, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        list->setCurrentIndex(1);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), list->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(list, &help);
        QTRY_COMPARE(QToolTip::text(), QString("65.最高音萨克斯"));
        QToolTip::hideText();

        list->showPopup();
        QAbstractItemView *view = list->view();
        QTRY_VERIFY(view->isVisible());
        QVERIFY2(view->viewport()->width() >= view->sizeHintForColumn(0),
                 qPrintable(QStringLiteral("%1 < %2").arg(view->viewport()->width()).arg(view->sizeHintForColumn(0))));
        list->hidePopup();
    }
};

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

DZQ_GUI_TEST_MAIN(ChoiceListTest, FileDialogTest)

#include "test_platform_dialogs_views.moc"
