#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include "FakeDriver.h"
#include "device/ChipModel.h"
#include "device/Device.h"
#include "support/ImageViewHarness.h"
#include "tools/AddressJump.h"
#include "tools/DataView.h"
#include "tools/FileFill.h"
#include "tools/GotoForm.h"
#include "tools/qt/DataViewDialog.h"
#include "tools/qt/FillDialog.h"
#include "tools/qt/GotoDialog.h"
#include "tools/qt/QtToolDialogs.h"

namespace {

// The view side the dialogs work on, with recording ports.
struct Tools : ImageViewHarness {
    Tools()
        : jump(image, view, grid, status, boxes, state),
          gotoForm(jump, boxes, [] { return false; }),
          fill(image, view, status, boxes, texts, state, [this] { return editMode; }) {}

    AddressJump jump;
    GotoForm gotoForm;
    bool editMode = true;
    FileFill fill;
};

// The events as one text, so a failed comparison shows them.
QString Joined(const std::vector<std::string>& events) {
    QStringList lines;
    for (const std::string& event : events) lines.append(QString::fromStdString(event));
    return lines.join(QLatin1Char('\n'));
}

QList<GotoDialog*> GotoDialogsOf(QWidget& window) {
    return window.findChildren<GotoDialog*>();
}

}  // namespace

class QtToolDialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gotoDialogsAreModelessAndStayOpenAfterEnter() {
        Tools tools;
        QVERIFY(tools.Open(PatternBytes(1000)));
        QWidget window;
        QtToolDialogs dialogs(&window, tools.boxes);
        dialogs.OpenGoto(tools.gotoForm);
        dialogs.OpenGoto(tools.gotoForm);
        const QList<GotoDialog*> open = GotoDialogsOf(window);
        QCOMPARE(open.size(), 2);
        for (GotoDialog* dialog : open) {
            QVERIFY(dialog->isVisible());
            QVERIFY(!dialog->isModal());
            QCOMPARE(dialog->windowTitle(), QStringLiteral("文件地址定位"));
        }

        // Lower case is shown and read in upper case; Enter jumps and keeps the dialog open.
        QTest::keyClicks(open[0]->addressEdit(), QStringLiteral("14f"));
        QCOMPARE(open[0]->addressEdit()->text(), QStringLiteral("14F"));
        QTest::keyClick(open[0]->addressEdit(), Qt::Key_Return);
        QCOMPARE(tools.grid.CurrentCell(), (GridCellId{21, 16}));
        QVERIFY(open[0]->isVisible());

        // The second dialog jumps on its own; Enter twice jumps twice.
        QTest::keyClicks(open[1]->addressEdit(), QStringLiteral("0"));
        QTest::keyClick(open[1]->addressEdit(), Qt::Key_Return);
        QCOMPARE(tools.grid.CurrentCell(), (GridCellId{1, 1}));
        tools.grid.SetCurrentCell(5, 5);
        QTest::keyClick(open[1]->addressEdit(), Qt::Key_Enter);
        QCOMPARE(tools.grid.CurrentCell(), (GridCellId{1, 1}));
        QVERIFY(open[1]->isVisible());
        QVERIFY(tools.log.With("box:").empty());

        // "退出" closes and deletes one; the other stays.
        QPointer<GotoDialog> closed = open[0];
        closed->findChild<QPushButton*>(QStringLiteral("gotoExit"))->click();
        QTRY_VERIFY(closed.isNull());
        QCOMPARE(GotoDialogsOf(window).size(), 1);
    }

    void gotoAddressTakesEightHexCharacters() {
        Tools tools;
        QWidget window;
        GotoDialog dialog(tools.gotoForm, tools.boxes, &window);
        QTest::keyClicks(dialog.addressEdit(), QStringLiteral("123456789"));
        QCOMPARE(dialog.addressEdit()->text(), QStringLiteral("12345678"));
        dialog.addressEdit()->clear();
        QTest::keyClicks(dialog.addressEdit(), QStringLiteral("1g"));
        QCOMPARE(dialog.addressEdit()->text(), QStringLiteral("1"));
        QCOMPARE(dialog.addressEdit()->cursorPosition(), 1);
        // Empty: its own box; no file: out of range.
        dialog.addressEdit()->clear();
        dialog.jumpButton()->click();
        QTest::keyClicks(dialog.addressEdit(), QStringLiteral("0"));
        dialog.jumpButton()->click();
        const std::vector<std::string> expected = {
            "box:提示|exclamation|请输入0~F之间的16进制字符！    ",
            "box:提示|exclamation|请输入定位地址！   ",
            "status:地址超出文件范围！|alert",
            "box:提示|exclamation|地址超出文件范围！",
        };
        QCOMPARE(Joined(tools.log.Events()), Joined(expected));
    }

    void fillDialogStartsWithItsDefaults() {
        Tools tools;
        FillDialog dialog(tools.fill, tools.boxes);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("文件数据填充"));
        QCOMPARE(dialog.addressEdit()->text(), QStringLiteral("0"));
        QCOMPARE(dialog.lengthEdit()->text(), QStringLiteral("1"));
        QCOMPARE(dialog.dataEdit()->text(), QString());
        QCOMPARE(dialog.statusLabel()->text(), QStringLiteral("null"));
        QVERIFY(!dialog.appendBox()->isChecked());
        QCOMPARE(dialog.appendBox()->text(), QStringLiteral("从文件结尾\n处开始填充"));
        QCOMPARE(dialog.addressEdit()->maxLength(), 8);
        QCOMPARE(dialog.lengthEdit()->maxLength(), 10);
        QCOMPARE(dialog.dataEdit()->maxLength(), 2);
    }

    void fillAppendsAtTheEndWithTheCheckBoxTicked() {
        Tools tools;
        QVERIFY(tools.Open(PatternBytes(16)));
        FillDialog dialog(tools.fill, tools.boxes);
        dialog.show();
        QTest::mouseClick(dialog.appendBox(), Qt::LeftButton);
        QCOMPARE(dialog.addressEdit()->text(), QStringLiteral("10"));
        QVERIFY(dialog.addressEdit()->isReadOnly());
        // The program's own text consumed the flag.
        QVERIFY(!dialog.form().skipNextCheck());
        dialog.lengthEdit()->setText(QStringLiteral("4"));
        QTest::keyClicks(dialog.dataEdit(), QStringLiteral("0"));
        QTest::keyClick(dialog.dataEdit(), Qt::Key_Return);
        QCOMPARE(dialog.statusLabel()->text(), QStringLiteral("文件填充结束..."));
        QCOMPARE(dialog.addressEdit()->text(), QStringLiteral("14"));
        QCOMPARE(tools.image.length(), 20u);
        QVERIFY(dialog.isVisible());
        // A further press appends again.
        QTest::keyClick(dialog.dataEdit(), Qt::Key_Return);
        QCOMPARE(dialog.addressEdit()->text(), QStringLiteral("18"));
        QCOMPARE(ReadBytes(tools.workPath).size(), size_t{24});

        // Cleared: address "0" and writable, and the next character typed is checked.
        QTest::mouseClick(dialog.appendBox(), Qt::LeftButton);
        QCOMPARE(dialog.addressEdit()->text(), QStringLiteral("0"));
        QVERIFY(!dialog.addressEdit()->isReadOnly());
        dialog.addressEdit()->end(false);
        QTest::keyClicks(dialog.addressEdit(), QStringLiteral("x"));
        QCOMPARE(dialog.addressEdit()->text(), QStringLiteral("0"));
        QCOMPARE(Joined(tools.log.With("box:")),
                 QStringLiteral("box:提示|exclamation|请输入0~F之间的16进制字符！   "));
    }

    void fillLengthTakesTenDecimalDigits() {
        Tools tools;
        FillDialog dialog(tools.fill, tools.boxes);
        dialog.lengthEdit()->clear();
        QTest::keyClicks(dialog.lengthEdit(), QStringLiteral("12345678901"));
        QCOMPARE(dialog.lengthEdit()->text(), QStringLiteral("1234567890"));
        dialog.lengthEdit()->clear();
        QTest::keyClicks(dialog.lengthEdit(), QStringLiteral("1a"));
        QCOMPARE(dialog.lengthEdit()->text(), QStringLiteral("1"));
        QTest::keyClicks(dialog.dataEdit(), QStringLiteral("abc"));
        QCOMPARE(dialog.dataEdit()->text(), QStringLiteral("AB"));
        QCOMPARE(Joined(tools.log.Events()),
                 QStringLiteral("box:提示|exclamation|请输入0~9之间的10进制字符！   "));
    }

    // Enter with 取消 focused presses 确定 (an empty address: its box) and keeps the dialog open.
    void enterOnCancelLooksUpAndKeepsTheDataView() {
        Tools tools;
        FakeDriver driver;
        ChipModelSelection model;
        Device device(driver.Api(), model);
        DataViewLookup lookup(tools.image, device, tools.jump, tools.status, tools.boxes,
                              [] { return true; });
        DataViewDialog dialog(lookup, tools.boxes);
        dialog.addressEdit()->clear();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        tools.log.Clear();
        auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("dataViewCancel"));
        QVERIFY(cancel != nullptr);
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
        QTest::keyClick(cancel, Qt::Key_Enter);
        QVERIFY(dialog.isVisible());
        const std::string box = std::string("box:提示|exclamation|") + DataViewLookup::EmptyAddressMessage;
        QCOMPARE(Joined(tools.log.With("box:")), Joined({box, box}));
        cancel->click();
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(QtToolDialogsTest)
#include "QtToolDialogsTest.moc"
