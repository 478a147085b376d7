#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "app/qt/AboutDialog.h"
#include "app/qt/FileDialog.h"
#include "app/qt/MessageBox.h"
#include "app/qt/ProgrammerApp.h"
#include "app/qt/ProgrammerDialog.h"
#include "app/qt/QtChipModelList.h"
#include "app/qt/QtCommandStates.h"
#include "app/qt/QtMessageBoxes.h"
#include "app/qt/QtSoundOutput.h"
#include "app/qt/QtWindowServices.h"
#include "image/ImageSaver.h"
#include "operations/qt/CaptionProgressBar.h"
#include "platform/DriverLibrary.h"
#include "platform/Gbk.h"
#include "ports/CommandIds.h"
#include "widgets/qt/ButtonSounds.h"
#include "widgets/qt/PictureButton.h"

namespace {

constexpr int kTimeout = 10000;

// Records every key press that reaches a widget past the application's filters.
class KeySpy : public QObject {
public:
    QList<int> keys;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        // Modifier keys pressed on their own are no commands.
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Control && key != Qt::Key_Shift && key != Qt::Key_Alt) keys.append(key);
        }
        return false;
    }
};

// With FLASH_SCREENSHOT_DIR set (a run under Xvfb), the screen as it stands is
// saved there: the manual's screenshots of the viewer windows come from this.
void ShotIfAsked(const QString& name) {
    const QString dir = qEnvironmentVariable("FLASH_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QTest::qWait(300);
    QGuiApplication::primaryScreen()->grabWindow(0).save(dir + QLatin1Char('/') + name);
}

QString RequestText(const MessageBox::Request& request) {
    return request.title + QLatin1Char('|') + request.text;
}

}  // namespace

class ProgrammerDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_previousDirectory;
    DriverLibrary m_driver;
    ProductDataFile m_dataFile;
    std::unique_ptr<ProgrammerDialog> m_dialog;
    std::atomic<int> m_releases{0};

    std::string workDirectory() const { return (m_dir.path() + QLatin1Char('/')).toStdString(); }

    ProgrammerDialog& makeDialog() {
        ProgrammerResources resources;
        resources.driver = m_driver.Bind();
        resources.productData = &m_dataFile;
        resources.workDirectory = workDirectory();
        resources.release = [this] { ++m_releases; };
        m_dialog = std::make_unique<ProgrammerDialog>(std::move(resources));
        return *m_dialog;
    }

    // Shown, initialised, and the start-up detection done.
    ProgrammerDialog& startDialog() {
        ProgrammerDialog& dialog = makeDialog();
        dialog.show();
        dialog.initialise();
        if (!QTest::qWaitFor([&dialog] { return dialog.core().worker().IsIdle(); }, kTimeout))
            QTest::qFail("the start-up detection did not end", __FILE__, __LINE__);
        // The detection's last updates are queued for the window.
        QCoreApplication::processEvents();
        return dialog;
    }

    QLabel* statusLabel() const { return qobject_cast<QLabel*>(m_dialog->control(CommandId::StatusText)); }

    QRect placeInClient(QWidget* widget) const {
        return QRect(widget->mapTo(m_dialog->clientArea(), QPoint(0, 0)), widget->size());
    }

    static QList<QAction*> itemsOf(QMenu* menu) { return menu->actions(); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        ProgrammerApp::installTranslations(*qApp);
        ProgrammerApp::applyFont(*qApp);
        // The simulated programmer reads its settings and keeps its chip in the current directory.
        m_previousDirectory = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QFile conf(m_dir.filePath(QStringLiteral("velmor-sim.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("backend = simulator\nblock_delay_ms = 0\nerase_ms = 0\n");
        conf.close();
        // The product data file as the shipped utility writes it.
        QProcess maker;
        maker.start(QStringLiteral(FLASH_TEST_BINARY_DIR "/bin/make_product_data"),
                    {m_dir.filePath(QStringLiteral("XJQT.uc")), QStringLiteral("1234")});
        QVERIFY(maker.waitForFinished(kTimeout));
        QCOMPARE(maker.exitCode(), 0);
        QVERIFY(m_dataFile.Open(m_dir.filePath(QStringLiteral("XJQT.uc")).toStdString()));
        QVERIFY(m_dataFile.CheckIntegrity());
        QVERIFY(m_driver.LoadFrom(VELMOR_LIBRARY_PATH));
    }

    void cleanupTestCase() { QDir::setCurrent(m_previousDirectory); }

    void init() {
        MessageBox::setTestMode(true);
        FileDialog::setTestMode(true);
        m_releases = 0;
    }

    void cleanup() {
        m_dialog.reset();
        MessageBox::setTestMode(false);
        FileDialog::setTestMode(false);
    }

    void windowIsAFixedDialogOfTheConvertedClientSize() {
        ProgrammerDialog& dialog = makeDialog();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("XJQT_Tarlo Flash编程器 V1.5"));
        // 451 x 299 dialog units at 1.75 pixels each.
        QCOMPARE(dialog.clientArea()->size(), QSize(789, 523));
        QCOMPARE(dialog.clientArea()->y(), dialog.menuBar()->height());
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.size(), QSize(789, 523 + dialog.menuBar()->height()));
    }

    void controlsSitAtTheirPlacesWithTheirTexts_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QString>("text");
        // Dialog units (x, y, w, h) converted by edges: round(edge x 1.75).
        QTest::newRow("1004 open") << 1004 << QRect(9, 7, 91, 42) << QStringLiteral("打开(Ctrl+O)");
        QTest::newRow("1075 save") << 1075 << QRect(100, 7, 91, 42) << QStringLiteral("保存(Ctrl+S)");
        QTest::newRow("1019 auto") << 1019 << QRect(191, 7, 72, 42) << QStringLiteral("自动(F9)");
        QTest::newRow("1020 erase") << 1020 << QRect(263, 7, 71, 42) << QStringLiteral("擦除(F4)");
        QTest::newRow("1021 program") << 1021 << QRect(334, 7, 72, 42) << QStringLiteral("烧录(F6)");
        QTest::newRow("1023 verify") << 1023 << QRect(406, 7, 72, 42) << QStringLiteral("校验(F8)");
        QTest::newRow("1022 read") << 1022 << QRect(478, 7, 72, 42) << QStringLiteral("读出(F7)");
        QTest::newRow("1035 blank") << 1035 << QRect(550, 7, 71, 42) << QStringLiteral("查空(F3)");
        QTest::newRow("1024 detect") << 1024 << QRect(623, 7, 72, 42) << QStringLiteral("检测(F5)");
        QTest::newRow("1026 log") << 1026 << QRect(695, 7, 82, 42) << QStringLiteral("查看修改记录");
        QTest::newRow("1082 capacity") << 1082 << QRect(54, 91, 88, 14) << QStringLiteral("0");
        QTest::newRow("1006 edit mode") << 1006 << QRect(9, 117, 96, 18) << QStringLiteral("编辑模式");
        QTest::newRow("1032 name") << 1032 << QRect(60, 145, 82, 14) << QStringLiteral("空");
        QTest::newRow("1033 checksum") << 1033 << QRect(58, 172, 72, 14) << QStringLiteral("0000000000");
        QTest::newRow("1011 size") << 1011 << QRect(75, 198, 67, 14) << QStringLiteral("0");
        QTest::newRow("1073 picture") << 1073 << QRect(9, 222, 135, 249) << QString();
        QTest::newRow("1057 grid") << 1057 << QRect(151, 58, 616, 430) << QString();
        QTest::newRow("1002 scroll bar") << 1002 << QRect(765, 58, 17, 430) << QString();
        QTest::newRow("1027 cell editor") << 1027 << QRect(51, 359, 12, 21) << QString();
        QTest::newRow("1003 path") << 1003 << QRect(298, 497, 484, 21) << QStringLiteral("支持文件拖放...");
        QTest::newRow("1031 progress") << 1031 << QRect(5, 495, 238, 21) << QString();
        QTest::newRow("1018 status") << 1018 << QRect(5, 495, 237, 21) << QStringLiteral("状态栏");
    }

    void controlsSitAtTheirPlacesWithTheirTexts() {
        QFETCH(int, id);
        QFETCH(QRect, rect);
        QFETCH(QString, text);
        makeDialog();
        QWidget* widget = m_dialog->control(id);
        QVERIFY(widget != nullptr);
        QCOMPARE(widget->property("controlId").toInt(), id);
        QCOMPARE(placeInClient(widget), rect);
        QString shown;
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            shown = button->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            shown = label->text();
        else if (auto* edit = qobject_cast<QLineEdit*>(widget))
            shown = edit->text();
        QCOMPARE(shown, text);
    }

    void startStateOfTheControls() {
        ProgrammerDialog& dialog = makeDialog();
        dialog.show();
        QCOMPARE(statusLabel()->text(), QStringLiteral("状态栏"));
        QCOMPARE(placeInClient(statusLabel()).topLeft(), QPoint(5, 495));
        QCOMPARE(statusLabel()->height(), 21);
        QVERIFY(!dialog.control(CommandId::ProgressBar)->isVisible());
        QVERIFY(!dialog.control(CommandId::CellEditor)->isVisible());
        QCOMPARE(qobject_cast<QLineEdit*>(dialog.control(CommandId::CellEditor))->maxLength(), 2);
        QVERIFY(!dialog.control(CommandId::Save)->isEnabled());
        QVERIFY(!dialog.control(CommandId::Decoration)->isEnabled());
        QCOMPARE(dialog.control(CommandId::Decoration)->palette().color(QPalette::Window),
                 QColor(236, 233, 216));
        // The picture keeps its colours although the control is disabled: the chip
        // in its middle is blue, not greyed.
        const QImage face = dialog.control(CommandId::Decoration)->grab().toImage();
        const QColor middle = face.pixelColor(face.width() / 2, face.height() * 100 / 249);
        QVERIFY2(middle.blue() > middle.red() + 60, qPrintable(middle.name()));
        for (int id : {1004, 1019, 1020, 1021, 1023, 1022, 1035, 1024, 1026})
            QVERIFY2(dialog.control(id)->isEnabled(), qPrintable(QString::number(id)));

        auto* models = qobject_cast<QComboBox*>(dialog.control(CommandId::ChipModelList));
        QVERIFY(models != nullptr);
        QCOMPARE(placeInClient(models).topLeft(), QPoint(53, 60));
        QCOMPARE(models->width(), 91);
        const QStringList rows{"25X10", "25X20",  "25X40",  "25X80",  "25X16", "25X32",
                               "25X64", "25X128", "25X256", "25X512", "25X01G"};
        QCOMPARE(models->count(), rows.size());
        for (int i = 0; i < rows.size(); ++i) QCOMPARE(models->itemText(i), rows[i]);
    }

    void fieldLabelsStandBesideTheirFields_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("field");
        QTest::newRow("model") << QStringLiteral("型号:") << 1078;
        QTest::newRow("capacity") << QStringLiteral("容量:") << 1082;
        QTest::newRow("name") << QStringLiteral("文件名:") << 1032;
        QTest::newRow("checksum") << QStringLiteral("校验码:") << 1033;
        QTest::newRow("size") << QStringLiteral("文件大小:") << 1011;
        QTest::newRow("path") << QStringLiteral("文件名:") << 1003;
    }

    void fieldLabelsStandBesideTheirFields() {
        QFETCH(QString, text);
        QFETCH(int, field);
        makeDialog();
        const QRect fieldRect = placeInClient(m_dialog->control(field));
        bool found = false;
        for (QLabel* label : m_dialog->clientArea()->findChildren<QLabel*>()) {
            if (label->text() != text) continue;
            const QRect rect = placeInClient(label);
            // Left of the field, on its line.
            if (rect.right() < fieldRect.left() && fieldRect.left() - rect.right() < 12 &&
                rect.top() < fieldRect.bottom() && rect.bottom() > fieldRect.top())
                found = true;
        }
        QVERIFY(found);
    }

    void menusHoldTheirItemsInOrder() {
        struct Item {
            int id;  // 0: separator
            QString text;
            bool enabled;
            bool checkable;
            bool checked;
        };
        struct Menu {
            QString title;
            QList<Item> items;
        };
        const QList<Menu> expected{
            {"文件",
             {{1004, "打开文件(&O)", true, false, false},
              {1075, "保存文件(&S)", false, false, false},
              {32784, "另存储为(&A)", false, false, false},
              {32783, "编辑模式(&E)", false, true, false},
              {0, {}, true, false, false},
              {1, "退出程序(&X)", true, false, false}}},
            {"编程操作",
             {{1019, "自动烧录(&A)", true, false, false},
              {32812, "差异烧录(&D)", true, false, false},
              {1020, "擦除芯片(&E)", true, false, false},
              {1021, "手动烧录(&W)", true, false, false},
              {1023, "数据校验(&V)", true, false, false},
              {0, {}, true, false, false},
              {1035, "芯片查空(&C)", true, false, false},
              {1022, "读出芯片(&R)", true, false, false}}},
            {"地址操作",
             {{32807, "地址定位(&P)", false, false, false},
              {32803, "数据查看(&D)", false, false, false},
              {32811, "数据查找(&L)", false, false, false},
              {32801, "文件填充(&F)", false, false, false}}},
            {"固件操作",
             {{1024, "芯片检测(&T)", true, false, false}, {32809, "产品序列号(&F)", true, false, false}}},
            {"设置", {{32810, "提示音", true, true, true}}},
            {"帮助",
             {{32797, "使用说明(&N)", true, false, false},
              {0, {}, true, false, false},
              {1025, "关于我们(&A)", true, false, false}}},
        };
        ProgrammerDialog& dialog = makeDialog();
        const QList<QAction*> menus = dialog.menuBar()->actions();
        QCOMPARE(menus.size(), expected.size());
        for (int m = 0; m < expected.size(); ++m) {
            QCOMPARE(menus[m]->text(), expected[m].title);
            const QList<QAction*> items = itemsOf(menus[m]->menu());
            QCOMPARE(items.size(), expected[m].items.size());
            for (int i = 0; i < items.size(); ++i) {
                const Item& want = expected[m].items[i];
                const QString where = expected[m].title + QLatin1Char('/') + QString::number(i);
                QVERIFY2(items[i]->isSeparator() == (want.id == 0), qPrintable(where));
                if (want.id == 0) continue;
                QCOMPARE(items[i]->data().toInt(), want.id);
                QCOMPARE(items[i]->text(), want.text);
                QVERIFY2(items[i]->isEnabled() == want.enabled, qPrintable(where));
                QVERIFY2(items[i]->isCheckable() == want.checkable, qPrintable(where));
                QVERIFY2(items[i]->isChecked() == want.checked, qPrintable(where));
                QCOMPARE(dialog.menuAction(want.id), items[i]);
            }
        }
    }

    void buttonsAndMenuItemsShowTheirPictures() {
        ProgrammerDialog& dialog = makeDialog();
        for (int id : {1004, 1075, 1019, 1020, 1021, 1023, 1022, 1035, 1024})
            QVERIFY2(!qobject_cast<QAbstractButton*>(dialog.control(id))->icon().isNull(),
                     qPrintable(QString::number(id)));
        for (QAction* menu : dialog.menuBar()->actions())
            for (QAction* item : menu->menu()->actions()) {
                if (item->isSeparator()) continue;
                // Every item but the prompt-sound switch has a picture.
                const bool wanted = item->data().toInt() != CommandId::PromptSound;
                QVERIFY2(item->icon().isNull() != wanted, qPrintable(item->text()));
            }
        // The edit-mode item and check box change their picture with the mode.
        QAction* editMode = dialog.menuAction(CommandId::EditModeMenu);
        auto* check = qobject_cast<QAbstractButton*>(dialog.control(CommandId::EditModeCheck));
        const qint64 viewItem = editMode->icon().cacheKey();
        const qint64 viewCheck = check->icon().cacheKey();
        dialog.findChild<QtCommandStates*>()->SetChecked(CommandId::EditModeMenu, true);
        dialog.findChild<QtCommandStates*>()->SetChecked(CommandId::EditModeCheck, true);
        QVERIFY(editMode->isChecked());
        QVERIFY(check->isChecked());
        QVERIFY(editMode->icon().cacheKey() != viewItem);
        QVERIFY(check->icon().cacheKey() != viewCheck);
    }

    void editModeControlsKeepTheStateTheProgramGivesThem() {
        ProgrammerDialog& dialog = startDialog();
        auto* check = qobject_cast<QAbstractButton*>(dialog.control(CommandId::EditModeCheck));
        check->click();
        dialog.menuAction(CommandId::EditModeMenu)->setEnabled(true);
        dialog.menuAction(CommandId::EditModeMenu)->trigger();
        QVERIFY(!check->isChecked());
        QVERIFY(!dialog.menuAction(CommandId::EditModeMenu)->isChecked());
        QVERIFY(!dialog.core().editMode());
        QVERIFY(MessageBox::requests().isEmpty());
    }

    // Check box and menu entry show the flag; a click on a byte opens the editor
    // once the grid's mouse handler has returned; typing writes the work copy.
    void editModeClickAndTypeInTheWindow() {
        ProgrammerDialog& dialog = startDialog();
        QFile file(m_dir.filePath(QStringLiteral("edit.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(64, '\x3a'));
        file.close();
        FileDialog::setNextFileName(file.fileName());
        dialog.handleCommand(CommandId::Open);
        QVERIFY(dialog.core().image().loaded());

        auto* check = qobject_cast<QAbstractButton*>(dialog.control(CommandId::EditModeCheck));
        QAction* item = dialog.menuAction(CommandId::EditModeMenu);
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(dialog.core().editMode());
        QVERIFY(check->isChecked());
        QVERIFY(item->isChecked());
        item->trigger();
        QVERIFY(!dialog.core().editMode());
        QVERIFY(!check->isChecked());
        QVERIFY(!item->isChecked());
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(check->isChecked() && item->isChecked() && dialog.core().editMode());

        auto* grid = dialog.control(CommandId::HexGrid);
        auto* editor = qobject_cast<QLineEdit*>(dialog.control(CommandId::CellEditor));
        GridRect cell;
        QVERIFY(dialog.core().grid().CellRectangle(1, 3, cell));
        const QPoint rightHalf(cell.left + 20, cell.top + 9);
        QTest::mousePress(grid, Qt::LeftButton, {}, rightHalf);
        QTest::mouseRelease(grid, Qt::LeftButton, {}, rightHalf);
        QVERIFY(!editor->isVisible());  // queued: not inside the mouse handler
        QTRY_VERIFY(editor->isVisible());
        const QPoint gridAt = grid->mapTo(dialog.clientArea(), QPoint(0, 0));
        QCOMPARE(editor->geometry(), QRect(gridAt.x() + cell.left + 3, gridAt.y() + cell.top + 3, 20, 14));
        QCOMPARE(editor->text(), QStringLiteral("3A"));
        QCOMPARE(editor->selectedText(), QStringLiteral("A"));
        QTRY_VERIFY(editor->hasFocus());

        QTest::keyClick(editor, Qt::Key_C);
        QFile work(QString::fromStdString(dialog.core().workCopyPath()));
        QVERIFY(work.open(QIODevice::ReadOnly));
        QCOMPARE(work.readAll().mid(2, 2), QByteArray("\x3c\x3a"));
        QCOMPARE(dialog.core().hexView().MarkOf(1, 3), HexView::Modified);
        QCOMPARE(dialog.core().grid().CurrentCell(), (GridCellId{1, 4}));
        QVERIFY(dialog.control(CommandId::Save)->isEnabled());
        QCOMPARE(editor->selectedText(), QStringLiteral("3"));

        // Enter anywhere commits: the high digit deleted, "A" is left and written as 0A.
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClick(dialog.control(CommandId::PathBox), Qt::Key_Return);
        work.seek(0);
        QCOMPARE(work.readAll().at(3), '\x0a');
        QVERIFY(!editor->isVisible());
        QVERIFY(dialog.isVisible());
    }

    void scrollBarAndWheelPageTheView() {
        ProgrammerDialog& dialog = startDialog();
        QFile file(m_dir.filePath(QStringLiteral("rows.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(337, '\x22'));  // 22 rows: one row to scroll
        file.close();
        FileDialog::setNextFileName(file.fileName());
        dialog.handleCommand(CommandId::Open);
        auto* bar = qobject_cast<QScrollBar*>(dialog.control(CommandId::ScrollBar));
        QCOMPARE(bar->maximum(), 1);
        QVERIFY(bar->isEnabled());

        // Refused while a verify reads the work copy.
        dialog.core().state().VerifyBusy = true;
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(dialog.core().hexView().topRow(), 0u);
        QCOMPARE(bar->value(), 0);
        dialog.core().state().VerifyBusy = false;

        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(dialog.core().hexView().topRow(), 1u);
        QCOMPARE(bar->value(), 1);
        QCOMPARE(dialog.core().grid().CellText(1, 0), std::string("00000010"));
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(dialog.core().hexView().topRow(), 1u);
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(dialog.core().hexView().topRow(), 0u);
        QCOMPARE(bar->value(), 0);

        // The wheel moves one row while the view has the focus.
        dialog.activateWindow();
        dialog.control(CommandId::HexGrid)->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), dialog.control(CommandId::HexGrid));
        QWheelEvent down(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &down);
        QCOMPARE(dialog.core().hexView().topRow(), 1u);
        QCOMPARE(bar->value(), 1);
        dialog.control(CommandId::PathBox)->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), dialog.control(CommandId::PathBox));
        QWheelEvent up(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(&dialog, &up);
        QCOMPARE(dialog.core().hexView().topRow(), 1u);
        // Over the grid the wheel pages the view wherever the focus is.
        QWidget* grid = dialog.control(CommandId::HexGrid);
        QWheelEvent overGrid(QPointF(60, 60), grid->mapToGlobal(QPointF(60, 60)), QPoint(), QPoint(0, 120),
                             Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid, &overGrid);
        QCOMPARE(dialog.core().hexView().topRow(), 0u);
        QCOMPARE(bar->value(), 0);
    }

    void toolTips_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("tip");
        QTest::newRow("1006") << 1006 << QStringLiteral("点击可更改文件模式");
        QTest::newRow("1026") << 1026 << QStringLiteral("点击可查看数据修改日记");
        QTest::newRow("1019") << 1019 << QStringLiteral("F9:自动擦除、烧录、校验芯片");
        QTest::newRow("1020") << 1020 << QStringLiteral("F4:擦除芯片");
        QTest::newRow("1021") << 1021 << QStringLiteral("F6:烧录数据");
        QTest::newRow("1022") << 1022 << QStringLiteral("F7:读取芯片数据");
        QTest::newRow("1023") << 1023 << QStringLiteral("F8:校验当前文件和芯片内数据");
        QTest::newRow("1024") << 1024 << QStringLiteral("F5:检测设备和芯片");
        QTest::newRow("1035") << 1035 << QStringLiteral("F3:芯片查空");
        QTest::newRow("1004") << 1004 << QStringLiteral("CTRL+O:打开文件");
        QTest::newRow("1075") << 1075 << QStringLiteral("CTRL+S:保存文件");
    }

    void toolTips() {
        QFETCH(int, id);
        QFETCH(QString, tip);
        makeDialog();
        QCOMPARE(m_dialog->control(id)->toolTip(), tip);
    }

    void initialisationSelectsTheDefaultModelAndDetectsQuietly() {
        ProgrammerDialog& dialog = makeDialog();
        dialog.show();
        QCOMPARE(statusLabel()->text(), QStringLiteral("状态栏"));
        dialog.initialise();
        QTRY_COMPARE_WITH_TIMEOUT(statusLabel()->text(), QStringLiteral("设备已连接，检测到1MB芯片"),
                                  kTimeout);
        auto* models = qobject_cast<QComboBox*>(dialog.control(CommandId::ChipModelList));
        QCOMPARE(models->currentIndex(), 3);
        QCOMPARE(qobject_cast<QLabel*>(dialog.control(CommandId::CapacityLabel))->text(),
                 QStringLiteral("1Mbytes"));
        QTRY_VERIFY_WITH_TIMEOUT(dialog.core().worker().IsIdle(), kTimeout);
        QVERIFY(MessageBox::requests().isEmpty());
        // The grid shows the start-up page.
        QCOMPARE(dialog.core().grid().CellText(1, 0), std::string("00000000"));
        QCOMPARE(dialog.core().grid().CellText(21, 17), std::string("................"));
    }

    void functionKeyWithItsButtonEnabledRunsTheCommand() {
        ProgrammerDialog& dialog = startDialog();
        QTest::keyClick(dialog.control(CommandId::PathBox), Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(MessageBox::requests().size(), 1, kTimeout);
        const MessageBox::Request box = MessageBox::requests().constFirst();
        QCOMPARE(box.title, QStringLiteral("芯片信息"));
        QCOMPARE(box.text, QStringLiteral("设备已连接，并检测到芯片     \r\n芯片容量:1MB (8Mbits)"));
        QCOMPARE(box.icon, MessageIcon::Information);
        QTRY_COMPARE_WITH_TIMEOUT(statusLabel()->text(), QStringLiteral("设备已连接，检测到1MB芯片   "),
                                  kTimeout);
    }

    void functionKeyWithItsButtonDisabledDoesNothing() {
        ProgrammerDialog& dialog = startDialog();
        dialog.findChild<QtCommandStates*>()->SetEnabled(CommandId::Detect, false);
        QVERIFY(!dialog.control(CommandId::Detect)->isEnabled());
        KeySpy spy;
        QWidget* target = dialog.control(CommandId::PathBox);
        target->installEventFilter(&spy);
        QTest::keyClick(target, Qt::Key_F5);
        QVERIFY(dialog.core().worker().IsIdle());
        QCOMPARE(dialog.core().state().WorkerCommand.load(), WorkerCode::Idle);
        QVERIFY(MessageBox::requests().isEmpty());
        QVERIFY(spy.keys.isEmpty());
    }

    void escapeAndEnterNeverCloseTheWindow() {
        ProgrammerDialog& dialog = startDialog();
        KeySpy spy;
        QWidget* target = dialog.control(CommandId::Open);
        target->installEventFilter(&spy);
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(target, Qt::Key(key));
            QVERIFY(dialog.isVisible());
        }
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QVERIFY(spy.keys.isEmpty());
        QVERIFY(!dialog.core().IsShutDown());
    }

    void altFunctionKeysAreNoCommandsAndAltF4IsACloseRequest() {
        ProgrammerDialog& dialog = startDialog();
        QWidget* target = dialog.control(CommandId::PathBox);
        const QString status = statusLabel()->text();
        for (int key : {Qt::Key_F3, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8, Qt::Key_F9})
            QTest::keyClick(target, Qt::Key(key), Qt::AltModifier);
        QTest::keyClick(target, Qt::Key_O, Qt::AltModifier | Qt::ControlModifier);
        QTest::qWait(200);
        QVERIFY(dialog.core().worker().IsIdle());
        QCOMPARE(dialog.core().state().WorkerCommand.load(), WorkerCode::Idle);
        QVERIFY(MessageBox::requests().isEmpty());
        QCOMPARE(FileDialog::requestCount(), 0);
        QCOMPARE(statusLabel()->text(), status);

        // Alt+F4 is refused like any close while a chip operation is busy ...
        dialog.core().state().VerifyBusy = true;
        QTest::keyClick(target, Qt::Key_F4, Qt::AltModifier);
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.core().IsShutDown());
        dialog.core().state().VerifyBusy = false;
        // ... and otherwise closes the window, erasing nothing.
        QTest::keyClick(target, Qt::Key_F4, Qt::AltModifier);
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.core().IsShutDown());
        QCOMPARE(m_releases.load(), 1);
        QCOMPARE(statusLabel()->text(), status);
    }

    void ctrlKeysFollowTheirButtons() {
        ProgrammerDialog& dialog = startDialog();
        KeySpy spy;
        QWidget* target = dialog.control(CommandId::PathBox);
        target->installEventFilter(&spy);

        // Save is disabled: Ctrl+S does nothing and goes no further.
        QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(spy.keys.isEmpty());
        // Ctrl+O opens the dialog (cancelled here).
        QTest::keyClick(target, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(FileDialog::requestCount(), 1);
        QCOMPARE(FileDialog::lastNameFilters(), QStringList({QStringLiteral("*.bin;*.rom文件(*.bin *.rom)"),
                                                             QStringLiteral("所有文件(*)")}));
        QVERIFY(spy.keys.isEmpty());
        // Without Ctrl the letters are ordinary keys.
        QTest::keyClick(target, Qt::Key_S);
        QTest::keyClick(target, Qt::Key_O);
        QCOMPARE(spy.keys, QList<int>({Qt::Key_S, Qt::Key_O}));
        QCOMPARE(FileDialog::requestCount(), 1);
    }

    void openLoadsTheChosenFileIntoTheWindow() {
        ProgrammerDialog& dialog = startDialog();
        QFile file(m_dir.filePath(QStringLiteral("a.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100, '\x01'));
        file.close();
        FileDialog::setNextFileName(file.fileName());
        dialog.handleCommand(CommandId::Open);
        QCOMPARE(statusLabel()->text(), QStringLiteral("文件打开成功"));
        QCOMPARE(qobject_cast<QLabel*>(dialog.control(CommandId::NameLabel))->text(),
                 QStringLiteral("a.bin"));
        QCOMPARE(qobject_cast<QLabel*>(dialog.control(CommandId::SizeLabel))->text(),
                 QStringLiteral("0.10KB"));
        QCOMPARE(qobject_cast<QLabel*>(dialog.control(CommandId::ChecksumLabel))->text(),
                 QStringLiteral("0000000064"));
        QVERIFY(dialog.menuAction(CommandId::SaveAs)->isEnabled());
        QVERIFY(!dialog.control(CommandId::Save)->isEnabled());
        QVERIFY(!dialog.menuAction(CommandId::Save)->isEnabled());
        QCOMPARE(dialog.core().grid().CellText(1, 1), std::string("01"));
    }

    void ctrlSSavesTheEditAndSaveAsOffersItsThreeFilters() {
        ProgrammerDialog& dialog = startDialog();
        QFile file(m_dir.filePath(QStringLiteral("edited.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(64, '\xFF'));
        file.close();
        FileDialog::setNextFileName(file.fileName());
        dialog.handleCommand(CommandId::Open);
        const uint8_t typed = 0x00;
        QVERIFY(dialog.core().image().WriteWork(0x1A, &typed, 1));
        // The page shows the red byte and enables Save, button and menu item together.
        dialog.core().hexView().RefreshPage();
        QVERIFY(dialog.control(CommandId::Save)->isEnabled());

        QTest::keyClick(dialog.control(CommandId::PathBox), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(statusLabel()->text(), QStringLiteral("文件已保存..."));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray expected(64, '\xFF');
        expected[0x1A] = '\x00';
        QCOMPARE(file.readAll(), expected);
        file.close();
        QFile log(m_dir.filePath(QStringLiteral("修改记录.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("        [0000001A]: FF --> 00\r\n"));
        QVERIFY(!dialog.control(CommandId::Save)->isEnabled());
        QVERIFY(!dialog.menuAction(CommandId::Save)->isEnabled());

        dialog.menuAction(CommandId::SaveAs)->trigger();
        QCOMPARE(FileDialog::requestCount(), 2);
        QCOMPARE(FileDialog::lastNameFilters(),
                 QStringList({QStringLiteral("bin文件(*.bin)"), QStringLiteral("rom文件(*.rom)"),
                              QStringLiteral("其他文件(*.*)")}));
    }

    void longSizeAndNameTextsShowWhole() {
        ProgrammerDialog& dialog = startDialog();
        // A sparse 1 GiB file: its size text is "1048576.00KB".
        QFile file(m_dir.filePath(QStringLiteral("firmware_backup_router_2026.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(1) << 30));
        file.close();
        FileDialog::setNextFileName(file.fileName());
        dialog.handleCommand(CommandId::Open);
        for (int id : {CommandId::SizeLabel, CommandId::NameLabel, CommandId::ChecksumLabel}) {
            auto* label = qobject_cast<QLabel*>(dialog.control(id));
            QVERIFY(label);
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
        }
        QCOMPARE(qobject_cast<QLabel*>(dialog.control(CommandId::SizeLabel))->text(),
                 QStringLiteral("1048576.00KB"));
        // The name is too long for any readable size: shortened, whole in the tool tip.
        QCOMPARE(dialog.control(CommandId::NameLabel)->toolTip(),
                 QStringLiteral("firmware_backup_router_2026.bin"));
        // A short text afterwards gets the normal font back.
        QFile small(m_dir.filePath(QStringLiteral("s.bin")));
        QVERIFY(small.open(QIODevice::WriteOnly));
        small.write("x");
        small.close();
        FileDialog::setNextFileName(small.fileName());
        dialog.handleCommand(CommandId::Open);
        QCOMPARE(dialog.control(CommandId::SizeLabel)->font().pointSizeF(),
                 dialog.control(CommandId::ChecksumLabel)->font().pointSizeF());
        QCOMPARE(qobject_cast<QLabel*>(dialog.control(CommandId::NameLabel))->text(),
                 QStringLiteral("s.bin"));
        QVERIFY(dialog.control(CommandId::NameLabel)->toolTip().isEmpty());
    }

    void closeIsIgnoredWhileBusy() {
        ProgrammerDialog& dialog = startDialog();
        dialog.core().state().VerifyBusy = true;
        QVERIFY(!dialog.close());
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.core().worker().HasEnded());
        QCOMPARE(m_releases.load(), 0);
        dialog.core().state().VerifyBusy = false;
        QVERIFY(dialog.close());
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.core().worker().HasEnded());
        QCOMPARE(m_releases.load(), 1);
    }

    void exitCommandEndsTheWindowWhateverRuns() {
        ProgrammerDialog& dialog = startDialog();
        dialog.core().state().ProgramBusy = true;
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.menuAction(CommandId::Exit)->trigger();
        QCOMPARE(accepted.size(), 1);
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.core().worker().HasEnded());
        QCOMPARE(m_releases.load(), 1);
        dialog.core().state().ProgramBusy = false;
    }

    void modelChangeUpdatesTheCapacityLabel() {
        ProgrammerDialog& dialog = startDialog();
        auto* models = qobject_cast<QComboBox*>(dialog.control(CommandId::ChipModelList));
        auto* capacity = qobject_cast<QLabel*>(dialog.control(CommandId::CapacityLabel));
        models->setCurrentIndex(6);
        QCOMPARE(capacity->text(), QStringLiteral("8Mbytes"));
        QCOMPARE(dialog.core().model().ChipCapacity(), 8388608u);
        models->setCurrentIndex(0);
        QCOMPARE(capacity->text(), QStringLiteral("128Kbytes"));
        QCOMPARE(dialog.core().model().ChipCapacity(), 131072u);
    }

    void serialNumberBox() {
        ProgrammerDialog& dialog = startDialog();
        dialog.menuAction(CommandId::SerialNumber)->trigger();
        QCOMPARE(MessageBox::requests().size(), 1);
        const MessageBox::Request box = MessageBox::requests().constFirst();
        QCOMPARE(RequestText(box), QStringLiteral("产品信息|通用版序列号:        \r\n1234"));
        QCOMPARE(box.icon, MessageIcon::Information);
        QCOMPARE(statusLabel()->text(), QStringLiteral("获取序列号成功..."));
    }

    void helpWithoutTheManualShowsItsBox() {
        ProgrammerDialog& dialog = startDialog();
        QStringList opened;
        dialog.services().setOpener([&opened](const QString& path) {
            opened.append(path);
            return true;
        });
        dialog.menuAction(CommandId::Help)->trigger();
        QCOMPARE(MessageBox::requests().size(), 1);
        QCOMPARE(RequestText(MessageBox::requests().constFirst()),
                 QStringLiteral("提示|文件被破坏，未发现文件！"));
        QCOMPARE(MessageBox::requests().constFirst().icon, MessageIcon::Exclamation);
        QVERIFY(opened.isEmpty());

        const QString manual = m_dir.filePath(QStringLiteral("XJQT_Tarlo Flash编程器用户手册.chm"));
        QFile file(manual);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        dialog.menuAction(CommandId::Help)->trigger();
        QCOMPARE(opened, QStringList{manual});
        QCOMPARE(MessageBox::requests().size(), 1);
        QFile::remove(manual);
    }

    // Where no desktop application takes the manual, the program's own window shows
    // the HTML pages (the shipped ones).
    void helpWithoutADesktopViewerShowsTheOwnManualWindow() {
        ProgrammerDialog& dialog = startDialog();
        QStringList asked;
        dialog.services().setOpener([&asked](const QString& path) {
            asked.append(path);
            return false;
        });
        QDir manual(m_dir.filePath(QStringLiteral("manual")));
        QVERIFY(manual.mkpath(QStringLiteral(".")));
        for (const QFileInfo& page : QDir(QStringLiteral(FLASH_SOURCE_DIR "/docs/manual"))
                                         .entryInfoList({QStringLiteral("*.html")}, QDir::Files))
            QVERIFY(QFile::copy(page.filePath(), manual.filePath(page.fileName())));
        const QString index = manual.filePath(QStringLiteral("index.html"));

        dialog.menuAction(CommandId::Help)->trigger();
        QCOMPARE(asked, QStringList{index});  // no .chm here: only the HTML manual is offered
        ManualViewer* viewer = dialog.services().manualViewer();
        QVERIFY(viewer != nullptr);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("XJQT_Tarlo Flash编程器用户手册"));
        QCOMPARE(viewer->browser()->source(), QUrl::fromLocalFile(index));
        QVERIFY(viewer->browser()->toPlainText().startsWith(
            QStringLiteral("XJQT_Tarlo Flash编程器 V1.5 用户手册\n")));
        QVERIFY(MessageBox::requests().isEmpty());
        // A second request reuses the window.
        dialog.menuAction(CommandId::Help)->trigger();
        QCOMPARE(dialog.services().manualViewer(), viewer);
        ShotIfAsked(QStringLiteral("manual-viewer.png"));
        viewer->close();
        QVERIFY(manual.removeRecursively());
    }

    // The log button shows the GBK log decoded in the program's own window; its
    // editor button hands the file to the desktop.
    void changeLogShowsTheGbkLogInTheOwnWindow() {
        ProgrammerDialog& dialog = startDialog();
        QStringList opened;
        bool editorAnswers = false;
        dialog.services().setOpener([&](const QString& path) {
            opened.append(path);
            return editorAnswers;
        });
        const QString path = m_dir.filePath(QStringLiteral("修改记录.txt"));
        QFile log(path);
        QVERIFY(log.open(QIODevice::WriteOnly | QIODevice::Truncate));
        // A block as a save writes it, in GBK with CR LF line ends.
        const QString block = QStringLiteral(
            "\n---------------------------------------BEGIN---------------------------------------\n"
            "    2026-12-07 20:15:03 firmware.bin 文件修改如下：\n"
            "        [0000001A]: 94 --> 00\n"
            "        [00000030]: 7C --> 12\n"
            "----------------------------------------END----------------------------------------\n");
        QString crlf = block;
        crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        const std::string gbk = Gbk::FromUtf8(crlf.toStdString());
        log.write(gbk.data(), static_cast<qint64>(gbk.size()));
        log.close();

        qobject_cast<QAbstractButton*>(dialog.control(CommandId::ChangeLog))->click();
        ChangeLogViewer* viewer = dialog.services().changeLogViewer();
        QVERIFY(viewer != nullptr);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("修改记录"));
        QCOMPARE(viewer->textView()->toPlainText(), block);
        QVERIFY(opened.isEmpty());
        ShotIfAsked(QStringLiteral("log-viewer.png"));

        QPushButton* editor = nullptr;
        for (QPushButton* b : viewer->findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("用编辑器打开")) editor = b;
        QVERIFY(editor != nullptr);
        editor->click();
        QCOMPARE(opened, QStringList{path});
        QCOMPARE(viewer->note()->text(), QStringLiteral("没有可以打开文本文件的编辑器。"));

        // A removed log: the box, and the window keeps what it showed.
        viewer->close();
        QVERIFY(QFile::remove(path));
        qobject_cast<QAbstractButton*>(dialog.control(CommandId::ChangeLog))->click();
        QCOMPARE(MessageBox::requests().size(), 1);
        QCOMPARE(RequestText(MessageBox::requests().constFirst()),
                 QStringLiteral("提示|文件被破坏，未发现文件！"));
    }

    void promptSoundSwitchSetsTheButtonSounds() {
        ProgrammerDialog& dialog = startDialog();
        QList<QString> waves;
        dialog.soundOutput().setWavePlayer([&waves](const QString& path) { waves.append(path); });
        auto* open = qobject_cast<PictureButton*>(dialog.control(CommandId::Open));
        auto* checkSounds = dialog.control(CommandId::EditModeCheck)->findChild<ButtonSounds*>();
        QVERIFY(checkSounds != nullptr);
        // A first run turns the sounds off.
        QVERIFY(!dialog.menuAction(CommandId::PromptSound)->isChecked());
        QVERIFY(open->hoverSound().isEmpty());

        dialog.menuAction(CommandId::PromptSound)->trigger();
        const QString button = m_dir.filePath(QStringLiteral("sound/mouthsound.wav"));
        QVERIFY(dialog.menuAction(CommandId::PromptSound)->isChecked());
        for (int id : {1004, 1075, 1019, 1020, 1021, 1022, 1023, 1024, 1035, 1026}) {
            auto* picture = qobject_cast<PictureButton*>(dialog.control(id));
            QCOMPARE(picture->hoverSound(), button);
            QCOMPARE(picture->clickSound(), button);
        }
        QCOMPARE(checkSounds->clickSound(), button);
        QVERIFY(checkSounds->hoverSound().isEmpty());

        dialog.menuAction(CommandId::PromptSound)->trigger();
        QVERIFY(!dialog.menuAction(CommandId::PromptSound)->isChecked());
        QVERIFY(open->clickSound().isEmpty());
        QVERIFY(checkSounds->clickSound().isEmpty());
        QVERIFY(waves.isEmpty());
    }

    void aboutBoxFromTheHelpMenu() {
        ProgrammerDialog& dialog = startDialog();
        QString title;
        QString name;
        int links = 0;
        QTimer::singleShot(0, this, [&] {
            auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
            if (about == nullptr) return;
            title = about->windowTitle();
            name = about->findChild<QLabel*>(QStringLiteral("aboutName"))->text();
            links = about->linksLabel()->text().count(QStringLiteral("<a href="));
            about->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        dialog.menuAction(CommandId::About)->trigger();
        QCOMPARE(title, QStringLiteral("关于 XJQT_Tarlo"));
        QCOMPARE(name, QStringLiteral("XJQT_Tarlo Flash编程器 V1.5"));
        QCOMPARE(links, 2);
    }

    void saveButtonAndItsMenuItemChangeTogetherFromTheWorker() {
        ProgrammerDialog& dialog = startDialog();
        CommandStates& states = *dialog.findChild<QtCommandStates*>();
        std::thread worker([&states] { states.SetEnabled(CommandId::Save, true); });
        worker.join();
        // The mirror answers at once; the controls follow on the window thread.
        QVERIFY(states.IsEnabled(CommandId::Save));
        QTRY_VERIFY(dialog.control(CommandId::Save)->isEnabled());
        QVERIFY(dialog.menuAction(CommandId::Save)->isEnabled());
        states.SetEnabled(CommandId::Save, false);
        QVERIFY(!dialog.control(CommandId::Save)->isEnabled());
        QVERIFY(!dialog.menuAction(CommandId::Save)->isEnabled());
    }

    void modelSelectedByTheProgramRaisesNoChangeNotice() {
        ProgrammerDialog& dialog = startDialog();
        auto* models = qobject_cast<QComboBox*>(dialog.control(CommandId::ChipModelList));
        ChipModelList* port = dialog.findChild<QtChipModelList*>();
        QVERIFY(port != nullptr);
        std::thread worker([port] { port->SelectRow(5); });
        worker.join();
        QTRY_COMPARE(models->currentIndex(), 5);
        // Only the user's choice applies a model; a detection applies its own.
        QCOMPARE(dialog.core().model().ChipCapacity(), 1048576u);
        QCOMPARE(qobject_cast<QLabel*>(dialog.control(CommandId::CapacityLabel))->text(),
                 QStringLiteral("1Mbytes"));
        port->SelectRow(-1);
        QCOMPARE(models->currentIndex(), -1);
        QCOMPARE(dialog.core().model().ChipCapacity(), 1048576u);
    }

    void promptSoundsFromTheWorkerPlayOnTheWindowThread() {
        ProgrammerDialog& dialog = startDialog();
        QStringList waves;
        QList<QThread*> threads;
        int beeps = 0;
        dialog.soundOutput().setWavePlayer([&](const QString& path) {
            waves.append(path);
            threads.append(QThread::currentThread());
        });
        dialog.soundOutput().setBeeper([&beeps] { ++beeps; });
        dialog.menuAction(CommandId::PromptSound)->trigger();
        QVERIFY(dialog.core().sounds().enabled());

        // No wave file yet: the erase ends with the beep instead.
        QTest::keyClick(dialog.control(CommandId::PathBox), Qt::Key_F4);
        QTRY_COMPARE_WITH_TIMEOUT(statusLabel()->text(), QStringLiteral("芯片擦除成功..."), kTimeout);
        QTRY_COMPARE(beeps, 1);
        QVERIFY(waves.isEmpty());

        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("sound")));
        QFile wave(m_dir.filePath(QStringLiteral("sound/del.wav")));
        QVERIFY(wave.open(QIODevice::WriteOnly));
        wave.close();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.core().worker().IsIdle(), kTimeout);
        QTest::keyClick(dialog.control(CommandId::PathBox), Qt::Key_F4);
        QTRY_COMPARE_WITH_TIMEOUT(waves, QStringList{m_dir.filePath(QStringLiteral("sound/del.wav"))},
                                  kTimeout);
        QCOMPARE(threads, QList<QThread*>{QThread::currentThread()});
        QCOMPARE(beeps, 1);
        QFile::remove(wave.fileName());
        QTRY_VERIFY_WITH_TIMEOUT(dialog.core().worker().IsIdle(), kTimeout);
    }

    void questionFromAnotherThreadWaitsForTheWindow() {
        ProgrammerDialog& dialog = startDialog();
        MessageBoxes& boxes = *dialog.findChild<QtMessageBoxes*>();
        MessageBox::setNextAnswer(MessageAnswer::No);
        std::atomic<int> answer{-1};
        std::thread worker([&] {
            answer = static_cast<int>(boxes.Show("文件长度大于芯片存储量!      \r\n       继续烧录？", "提示",
                                                 MessageIcon::Question, MessageButtons::YesNo));
        });
        QTRY_COMPARE(answer.load(), static_cast<int>(MessageAnswer::No));
        worker.join();
        QCOMPARE(MessageBox::requests().size(), 1);
        QCOMPARE(MessageBox::requests().constFirst().buttons, MessageButtons::YesNo);
    }

    void unansweredBoxesGiveTheAnswerOfClosingThem() {
        QCOMPARE(MessageBox::show(nullptr, "t", "x", MessageIcon::Stop, MessageButtons::Ok),
                 MessageAnswer::Ok);
        QCOMPARE(MessageBox::show(nullptr, "t", "x", MessageIcon::Question, MessageButtons::YesNo),
                 MessageAnswer::No);
        QCOMPARE(MessageBox::show(nullptr, "t", "x", MessageIcon::Exclamation, MessageButtons::YesNoCancel),
                 MessageAnswer::Cancel);
        MessageBox::setNextAnswer(MessageAnswer::Yes);
        QCOMPARE(MessageBox::show(nullptr, "t", "x", MessageIcon::Question, MessageButtons::YesNo),
                 MessageAnswer::Yes);
    }

    void messageBoxButtonsReadInChinese() {
        // Qt's own texts come from the Chinese translation the program installs.
        QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Ok);
        auto textOf = [&box](QMessageBox::StandardButton which) {
            return box.button(which)->text().remove('&');
        };
        QVERIFY2(textOf(QMessageBox::Ok).startsWith(QStringLiteral("确定")),
                 qPrintable(textOf(QMessageBox::Ok)));
        QVERIFY2(textOf(QMessageBox::Yes).startsWith(QStringLiteral("是")),
                 qPrintable(textOf(QMessageBox::Yes)));
        QVERIFY2(textOf(QMessageBox::No).startsWith(QStringLiteral("否")),
                 qPrintable(textOf(QMessageBox::No)));
        QVERIFY2(textOf(QMessageBox::Cancel).startsWith(QStringLiteral("取消")),
                 qPrintable(textOf(QMessageBox::Cancel)));
    }

    void openFilterKeepsItsLabelAndListsEachPattern() {
        QCOMPARE(QtWindowServices::QtNameFilter({"*.bin;*.rom文件(*.bin;*.rom)", {"*.bin", "*.rom"}}),
                 QStringLiteral("*.bin;*.rom文件(*.bin *.rom)"));
        QCOMPARE(QtWindowServices::QtNameFilter({"所有文件(*.*)", {"*"}}), QStringLiteral("所有文件(*)"));
        QCOMPARE(QtWindowServices::QtNameFilter({"bin", {"*.bin"}}), QStringLiteral("bin(*.bin)"));
    }

    // "其他文件(*.*)" reads as the save dialog's text and lists names without a dot too.
    void otherFilesFilterMatchesEveryFile() {
        QTemporaryDir files;
        for (const char* name : {"noext", "a.bin", "b.rom"}) {
            QFile file(files.filePath(QString::fromUtf8(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFileDialog dialog(nullptr, QStringLiteral("保存"), files.path());
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        const QStringList filters = QtWindowServices::QtNameFilters(SaveDialogFilters());
        QCOMPARE(filters.last(), QStringLiteral("其他文件(*.*)"));
        FileDialog::setNameFilters(dialog, filters);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* model = dialog.findChild<QFileSystemModel*>();
        auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(model != nullptr && combo != nullptr);
        const QModelIndex root = model->index(files.path());
        QTRY_COMPARE(model->rowCount(root), 1);  // bin文件(*.bin)
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->currentText(), QStringLiteral("其他文件(*.*)"));
        QTRY_COMPARE(model->rowCount(root), 3);
        QTest::keyClick(combo, Qt::Key_Up);
        QTRY_COMPARE(model->rowCount(root), 1);  // rom文件(*.rom)
    }

    void startUpWithoutTheDataFileEndsWithItsBox() {
        QTemporaryDir empty;
        QTemporaryDir locks;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(empty.path()));
        ProgrammerApp app(locks.path().toStdString());
        const int code = app.run();
        QDir::setCurrent(previous);
        QCOMPARE(code, 0);
        QCOMPARE(MessageBox::requests().size(), 1);
        QCOMPARE(RequestText(MessageBox::requests().constFirst()), QStringLiteral("错误|文件丢失！   "));
        QCOMPARE(MessageBox::requests().constFirst().icon, MessageIcon::Stop);
        QVERIFY(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().cbegin(), QApplication::topLevelWidgets().cend(),
                             [](QWidget* w) { return qobject_cast<ProgrammerDialog*>(w) != nullptr; }));
    }

    void startUpRunsTheWindowUntilItCloses() {
        QTemporaryDir locks;
        bool detected = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            // The window runs modally.
            auto* dialog = qobject_cast<ProgrammerDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->core().worker().IsIdle()) return;
            auto* status = qobject_cast<QLabel*>(dialog->control(CommandId::StatusText));
            if (status->text() != QStringLiteral("设备已连接，检测到1MB芯片")) return;
            detected = true;
            poll.stop();
            dialog->close();
        });
        poll.start();
        ProgrammerApp app(locks.path().toStdString());
        QCOMPARE(app.run(), 0);
        QVERIFY(detected);
        QVERIFY(MessageBox::requests().isEmpty());
    }
};

QTEST_MAIN(ProgrammerDialogTest)
#include "ProgrammerDialogTest.moc"
