#include <QApplication>

#include "TestMain.h"

#include "widgets/ChoiceList.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QToolTip>

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

DZQ_REGISTER_TEST(ChoiceListTest)
#include "ChoiceListTest.moc"
