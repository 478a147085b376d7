#include <QAccessible>
#include <QFontInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

#include <thread>

#include "ports/CommandIds.h"
#include "widgets/GridModel.h"
#include "widgets/qt/GridControl.h"

namespace {

constexpr GridColour kWhite = GridRgb(255, 255, 255);
constexpr GridColour kGrey = GridRgb(204, 204, 204);
constexpr GridColour kBlue = GridRgb(0, 0, 255);

// The hex view's grid look: 22 x 18 cells, one header row and column, the ASCII
// column fixed at the right, invisible white lines.
void setUpHexLook(GridModel& model) {
    model.SetRowCount(22);
    model.SetColumnCount(18);
    model.SetFixedRowCount(1);
    model.SetFixedColumnCount(1);
    model.SetDefaultColours(GridCellKind::Normal, kGrey, kWhite);
    for (GridCellKind kind : {GridCellKind::FixedRow, GridCellKind::FixedColumn, GridCellKind::FixedCorner})
        model.SetDefaultColours(kind, kBlue, kWhite);
    model.SetTextWidening(4, 0);
    model.SetFixedShadowColour(kGrey);
    model.SetGridLineColour(kWhite);
    model.SetHighlightColours(kWhite, GridRgb(0, 0, 0));
    model.SetTrailingFixedColumnCount(1);
    model.SetTrailingFixedRowCount(0);
    model.SetDefaultFont(GridFont{"", 14, 7});
    for (int row = 0; row < 22; ++row) model.SetRowHeight(row, 18);
    model.SetColumnWidth(0, 80);
    for (int column = 1; column <= 16; ++column) model.SetColumnWidth(column, 25);
    model.SetColumnWidth(17, 132);
    model.SetCellText(0, 0, "  ADDR");
    model.SetCellText(0, 17, "     ASCII");
    for (int column = 1; column <= 16; ++column)
        model.SetCellText(0, column, std::string(1, "0123456789ABCDEF"[column - 1]));
    for (int row = 1; row <= 21; ++row) {
        char address[9];
        std::snprintf(address, sizeof address, "%08X", (row - 1) * 16);
        model.SetCellText(row, 0, address);
        model.SetCellText(row, 17, "................");
        for (int column = 1; column <= 16; ++column) model.SetCellText(row, column, "FF");
    }
    model.SetFocusMarking(true);
    model.SetCurrentCell(-1, -1);
}

QRect cellRect(const GridModel& model, int row, int column) {
    GridRect r;
    if (!model.CellRectangle(row, column, r)) return QRect();
    return QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom));
}

QPoint centreOf(const GridModel& model, int row, int column) {
    return cellRect(model, row, column).center();
}

int countPixels(const QImage& image, const QRect& area, const std::function<bool(const QColor&)>& match) {
    int found = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (match(image.pixelColor(x, y))) ++found;
    return found;
}

QMimeData* filesMime(const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

// A drag entering the grid and, when the grid takes it, dropped there, as the
// window system delivers them. Returns whether the grid accepted the drag.
bool dragAndDrop(QWidget* target, const QMimeData* data, bool* dropAccepted = nullptr) {
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    if (dropAccepted != nullptr) *dropAccepted = drop.isAccepted();
    return true;
}

// A parent that records what the grid lets through.
class Parent : public QWidget {
public:
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() != Qt::Key_Shift && event->key() != Qt::Key_Control) keys.append(event->key());
    }
};

}  // namespace

class GridControlTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        m_model = std::make_unique<GridModel>();
        setUpHexLook(*m_model);
        m_parent = std::make_unique<Parent>();
        m_grid = new GridControl(*m_model, m_parent.get());
        m_grid->resize(m_grid->sizeHint());
        m_parent->resize(700, 450);
        m_parent->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_parent.get()));
        m_parent->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_parent.get()));
    }

    void cleanup() {
        m_parent.reset();
        m_model.reset();
    }

    void sizeFitsTheCellsExactly() {
        QCOMPARE(m_grid->sizeHint(), QSize(612, 396));
        QCOMPARE(m_grid->objectName(), QStringLiteral("HexGridControl"));
        QCOMPARE(m_grid->property("controlId").toInt(), CommandId::HexGrid);
        QVERIFY(m_grid->acceptDrops());
        QCOMPARE(cellRect(*m_model, 21, 17), QRect(480, 378, 132, 18));
    }

    void paintsCellColours() {
        m_model->SetCellBackColour(3, 5, kBlue);
        m_model->SetCellTextColour(3, 5, kWhite);
        m_model->SetCellTextColour(3, 6, GridRgb(255, 0, 0));
        const QImage image = m_grid->grab().toImage();
        const QRect blue = cellRect(*m_model, 3, 5);
        QCOMPARE(image.pixelColor(blue.left() + 1, blue.top() + 1), QColor(0, 0, 255));
        QCOMPARE(image.pixelColor(blue.right() - 1, blue.bottom() - 1), QColor(0, 0, 255));
        // White text on the blue cell; no other ink there.
        const int whiteInk = countPixels(image, blue.adjusted(1, 1, -1, -1),
                                         [](const QColor& c) { return c.blue() == 255 && c.red() > 128; });
        QVERIFY(whiteInk > 0);
        // Default background white, red text in the next cell, grey in a default one.
        const QRect red = cellRect(*m_model, 3, 6);
        QCOMPARE(image.pixelColor(red.left() + 1, red.top() + 1), QColor(255, 255, 255));
        QVERIFY(countPixels(image, red, [](const QColor& c) { return c.red() > 200 && c.green() < 80; }) > 0);
        const QRect grey = cellRect(*m_model, 3, 7);
        QCOMPARE(countPixels(image, grey, [](const QColor& c) { return c.red() < 200; }), 0);
        QVERIFY(countPixels(image, grey, [](const QColor& c) { return c == QColor(204, 204, 204); }) > 0);

        // Back to the default: white again.
        m_model->SetCellBackColour(3, 5, kGridDefaultColour);
        const QImage after = m_grid->grab().toImage();
        QCOMPARE(after.pixelColor(blue.left() + 1, blue.top() + 1), QColor(255, 255, 255));
    }

    void fixedCellsHaveTheFixedLook_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("corner") << 0 << 0;
        QTest::newRow("header") << 0 << 5;
        QTest::newRow("address") << 4 << 0;
        QTest::newRow("ascii") << 4 << 17;
    }

    void fixedCellsHaveTheFixedLook() {
        QFETCH(int, row);
        QFETCH(int, column);
        const QImage image = m_grid->grab().toImage();
        const QRect cell = cellRect(*m_model, row, column);
        // Raised edge: shadow at the right and the bottom, white inside.
        QCOMPARE(image.pixelColor(cell.right(), cell.top() + 2), QColor(204, 204, 204));
        QCOMPARE(image.pixelColor(cell.left() + 2, cell.bottom()), QColor(204, 204, 204));
        QCOMPARE(image.pixelColor(cell.left() + 1, cell.top() + 1), QColor(255, 255, 255));
        // Blue text only.
        QVERIFY(countPixels(image, cell, [](const QColor& c) { return c.blue() == 255 && c.red() < 100; }) >
                0);
        QCOMPARE(countPixels(image, cell, [](const QColor& c) { return c.blue() < c.red(); }), 0);
    }

    void gridLinesUseTheLineColour() {
        const QRect cell = cellRect(*m_model, 5, 5);
        QImage image = m_grid->grab().toImage();
        QCOMPARE(image.pixelColor(cell.right(), cell.top() + 1), QColor(255, 255, 255));
        m_model->SetGridLineColour(GridRgb(0, 128, 0));
        image = m_grid->grab().toImage();
        QCOMPARE(image.pixelColor(cell.right(), cell.top() + 1), QColor(0, 128, 0));
        QCOMPARE(image.pixelColor(cell.left() + 1, cell.bottom()), QColor(0, 128, 0));
        QCOMPARE(image.pixelColor(cell.left() + 1, cell.top() + 1), QColor(255, 255, 255));
    }

    void focusFrameOnlyWithFocusMarking() {
        m_model->SetCellTextColour(2, 3, GridRgb(255, 0, 0));
        m_model->SetCurrentCell(2, 3);
        const QRect cell = cellRect(*m_model, 2, 3);
        QImage image = m_grid->grab().toImage();
        for (QPoint p : {cell.topLeft(), cell.topRight(), cell.bottomLeft(), cell.bottomRight(),
                         QPoint(cell.center().x(), cell.top())})
            QCOMPARE(image.pixelColor(p), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(cell.left() + 1, cell.top() + 1), QColor(255, 255, 255));

        // Edit mode: no frame on the new focus cell.
        m_model->SetFocusMarking(false);
        m_model->SetCellTextColour(2, 4, GridRgb(255, 0, 0));
        m_model->SetCurrentCell(2, 4);
        image = m_grid->grab().toImage();
        const QRect unframed = cellRect(*m_model, 2, 4);
        QCOMPARE(image.pixelColor(unframed.topLeft()), QColor(255, 255, 255));
        QCOMPARE(image.pixelColor(cell.topLeft()), QColor(255, 255, 255));
    }

    void textIsWidenedInScrollableCellsOnly_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("overhang");
        QTest::newRow("byte cell: 4 px") << 6 << 8 << true;
        QTest::newRow("ascii cell: 0 px") << 6 << 17 << false;
    }

    void textIsWidenedInScrollableCellsOnly() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(bool, overhang);
        m_model->SetCellText(row, column, std::string(40, 'W'));
        m_model->SetCellFormat(row, column, GridFormat::Left | GridFormat::VCenter | GridFormat::SingleLine);
        m_model->SetCellTextColour(row, column, GridRgb(255, 0, 0));
        const QImage image = m_grid->grab().toImage();
        const QRect cell = cellRect(*m_model, row, column);
        const QRect left(cell.left() - 4, cell.top(), 4, cell.height());
        const int ink =
            countPixels(image, left, [](const QColor& c) { return c.red() > 150 && c.green() < 150; });
        QCOMPARE(ink > 0, overhang);
    }

    void cellFontIsFourteenBySeven() {
        const QFont font = m_grid->cellFont(5, 5);
        QVERIFY(GridControl::DefaultFaces().contains(QFontInfo(font).family()) ||
                QFontInfo(font).family().contains(QStringLiteral("WenQuanYi")));
        const QFontMetrics metrics(font);
        QVERIFY2(metrics.height() <= 15, qPrintable(QString::number(metrics.height())));
        const int sixteen = metrics.horizontalAdvance(QStringLiteral("0123456789ABCDEF"));
        QVERIFY2(sixteen >= 16 * 6 && sixteen <= 16 * 8, qPrintable(QString::number(sixteen)));
        QCOMPARE(m_grid->fontFor(GridFont{"", 14, 7}), font);
    }

    void clickOnHeaderFocusesRowOneAndNotifiesOnRelease_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("focusRow");
        QTest::addColumn<int>("focusColumn");
        QTest::newRow("header column 5") << 0 << 5 << 1 << 5;
        QTest::newRow("corner") << 0 << 0 << 1 << 1;
        QTest::newRow("address row 7") << 7 << 0 << 7 << 1;
        QTest::newRow("ascii row 4") << 4 << 17 << 4 << 16;
        QTest::newRow("byte") << 21 << 16 << 21 << 16;
    }

    void clickOnHeaderFocusesRowOneAndNotifiesOnRelease() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, focusRow);
        QFETCH(int, focusColumn);
        QSignalSpy notices(m_grid, &GridControl::commandNotice);

        QTest::mousePress(m_grid, Qt::LeftButton, {}, centreOf(*m_model, row, column));
        QCOMPARE(m_model->CurrentCell(), (GridCellId{focusRow, focusColumn}));
        QVERIFY(m_grid->hasFocus());
        QCOMPARE(notices.count(), 0);
        // Released a little away from where it was pressed: the notice carries the release.
        const QPoint release = centreOf(*m_model, row, column) + QPoint(3, -2);
        QTest::mouseRelease(m_grid, Qt::LeftButton, {}, release);
        QCOMPARE(notices.count(), 1);
        QCOMPARE(notices.first().at(0).toInt(), 1057);
        QCOMPARE(notices.first().at(1).toInt(), release.x());
        QCOMPARE(notices.first().at(2).toInt(), release.y());
    }

    void pressOnTheCurrentCellChangesNothing() {
        QSignalSpy notices(m_grid, &GridControl::commandNotice);
        QTest::mouseClick(m_grid, Qt::LeftButton, {}, centreOf(*m_model, 3, 4));
        QCOMPARE(m_model->CurrentCell(), (GridCellId{3, 4}));
        const uint64_t revision = m_model->Revision();

        QTest::mouseClick(m_grid, Qt::LeftButton, {}, centreOf(*m_model, 3, 4));
        QCOMPARE(m_model->CurrentCell(), (GridCellId{3, 4}));
        QCOMPARE(m_model->Revision(), revision);
        QCOMPARE(notices.count(), 2);  // the press hit a cell: the window still hears of it
    }

    void pressOutsideTheCellsOrWithTheRightButton() {
        auto* other = new QLineEdit(m_parent.get());
        other->move(0, 430);
        other->show();
        m_grid->resize(650, 420);
        QSignalSpy notices(m_grid, &GridControl::commandNotice);
        m_model->SetCurrentCell(2, 2);

        other->setFocus();
        QTest::mouseClick(m_grid, Qt::RightButton, {}, centreOf(*m_model, 5, 5));
        QVERIFY(other->hasFocus());
        QTest::mouseClick(m_grid, Qt::LeftButton, {}, QPoint(630, 10));
        QVERIFY(m_grid->hasFocus());  // the focus comes with any left press
        QTest::mouseClick(m_grid, Qt::LeftButton, {}, QPoint(10, 410));
        QCOMPARE(m_model->CurrentCell(), (GridCellId{2, 2}));
        QCOMPARE(notices.count(), 0);
    }

    // Qt hands a wheel event the grid leaves unaccepted to the window, which pages.
    void wheelIsLeftToTheParent() {
        const QPointF at = centreOf(*m_model, 5, 5);
        QWheelEvent wheel(at, m_grid->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_grid, &wheel);
        QVERIFY(!wheel.isAccepted());
        QCOMPARE(m_model->CurrentCell(), (GridCellId{-1, -1}));
    }

    void keysMoveTheFocusCellInsideTheByteArea() {
        m_grid->setFocus();
        QTest::keyClick(m_grid, Qt::Key_Down);  // no focus cell yet: the first byte cell
        QCOMPARE(m_model->CurrentCell(), (GridCellId{1, 1}));
        QTest::keyClick(m_grid, Qt::Key_Up);
        QTest::keyClick(m_grid, Qt::Key_Left);
        QCOMPARE(m_model->CurrentCell(), (GridCellId{1, 1}));
        QTest::keyClick(m_grid, Qt::Key_End);
        QCOMPARE(m_model->CurrentCell(), (GridCellId{1, 16}));
        QTest::keyClick(m_grid, Qt::Key_Tab);
        QCOMPARE(m_model->CurrentCell(), (GridCellId{2, 1}));
        QVERIFY(m_grid->hasFocus());  // Tab stays in the grid
        QTest::keyClick(m_grid, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(m_model->CurrentCell(), (GridCellId{1, 16}));
        QTest::keyClick(m_grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(m_model->CurrentCell(), (GridCellId{21, 16}));
        QTest::keyClick(m_grid, Qt::Key_PageUp);
        QCOMPARE(m_model->CurrentCell(), (GridCellId{1, 16}));
        QVERIFY2(m_parent->keys.isEmpty(), qPrintable(QString::number(m_parent->keys.value(0), 16)));

        // Keys the grid does not navigate with reach the window (function keys).
        QTest::keyClick(m_grid, Qt::Key_F9);
        QTest::keyClick(m_grid, Qt::Key_A);
        QCOMPARE(m_parent->keys, (QList<int>{Qt::Key_F9, Qt::Key_A}));
        QCOMPARE(m_model->CurrentCell(), (GridCellId{1, 16}));
    }

    void dropOfThreeFilesIsHandledThenReleasedOnce() {
        QStringList log;
        QList<QByteArray> received;
        connect(m_grid, &GridControl::filesDropped, this, [&](const QList<QByteArray>& paths) {
            received = paths;
            log.append(QStringLiteral("handled, released %1").arg(m_grid->dropReleaseCount()));
        });
        connect(m_grid, &GridControl::dropReleased, this,
                [&] { log.append(QStringLiteral("released %1").arg(m_grid->dropReleaseCount())); });

        const QList<QUrl> urls{QUrl::fromLocalFile(QStringLiteral("/tmp/a.bin")),
                               QUrl::fromLocalFile(QStringLiteral("/tmp/固件 b.rom")),
                               QUrl::fromLocalFile(QStringLiteral("/home/u/c"))};
        std::unique_ptr<QMimeData> data(filesMime(urls));
        bool dropAccepted = false;
        QVERIFY(dragAndDrop(m_grid, data.get(), &dropAccepted));

        QVERIFY(dropAccepted);
        QCOMPARE(received,
                 (QList<QByteArray>{"/tmp/a.bin", QStringLiteral("/tmp/固件 b.rom").toUtf8(), "/home/u/c"}));
        QCOMPARE(log, (QStringList{QStringLiteral("handled, released 0"), QStringLiteral("released 1")}));
        QCOMPARE(m_grid->dropReleaseCount(), 1);
    }

    void dropWithoutLocalFilesIsRefused() {
        QSignalSpy dropped(m_grid, &GridControl::filesDropped);
        std::unique_ptr<QMimeData> remote(filesMime({QUrl(QStringLiteral("https://example.com/a.bin"))}));
        QVERIFY(!dragAndDrop(m_grid, remote.get()));
        auto text = std::make_unique<QMimeData>();
        text->setText(QStringLiteral("/tmp/a.bin"));
        QVERIFY(!dragAndDrop(m_grid, text.get()));
        QCOMPARE(dropped.count(), 0);
        QCOMPARE(m_grid->dropReleaseCount(), 0);

        // Mixed: only the local file is passed on.
        std::unique_ptr<QMimeData> mixed(filesMime({QUrl(QStringLiteral("https://example.com/a.bin")),
                                                    QUrl::fromLocalFile(QStringLiteral("/tmp/x.bin"))}));
        bool dropAccepted = false;
        QVERIFY(dragAndDrop(m_grid, mixed.get(), &dropAccepted));
        QVERIFY(dropAccepted);
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.first().first().value<QList<QByteArray>>(), QList<QByteArray>{"/tmp/x.bin"});
        QCOMPARE(m_grid->dropReleaseCount(), 1);
    }

    // Names from Windows archives are often GBK: the dropped URL's bytes are the
    // name, as the file system has it, also where they are no valid UTF-8.
    void droppedNameThatIsNoUtf8KeepsItsBytes() {
        QSignalSpy dropped(m_grid, &GridControl::filesDropped);
        auto data = std::make_unique<QMimeData>();
        // "固件.bin" in GBK, a '#' and a blank, as a file manager puts them on the clipboard.
        data->setData(QStringLiteral("text/uri-list"), "file:///tmp/%B9%CC%BC%FE%20%231.bin\r\n");
        QVERIFY(dragAndDrop(m_grid, data.get()));
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.first().first().value<QList<QByteArray>>(),
                 QList<QByteArray>{QByteArray("/tmp/\xB9\xCC\xBC\xFE #1.bin")});
    }

    void accessibleTableReadsTheCells() {
        m_model->SetCellText(1, 0, "00012340");
        m_model->SetCellText(5, 17, "ABC!~...........");
        QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(m_grid);
        QVERIFY(grid != nullptr);
        QCOMPARE(grid->role(), QAccessible::Table);
        QAccessibleTableInterface* table = grid->tableInterface();
        QVERIFY(table != nullptr);
        QCOMPARE(table->rowCount(), 22);
        QCOMPARE(table->columnCount(), 18);
        QCOMPARE(grid->childCount(), 22 * 18);

        QCOMPARE(table->cellAt(1, 0)->text(QAccessible::Name), QStringLiteral("00012340"));
        QCOMPARE(table->cellAt(0, 17)->text(QAccessible::Name), QStringLiteral("     ASCII"));
        QCOMPARE(table->cellAt(5, 17)->text(QAccessible::Name), QStringLiteral("ABC!~..........."));
        QCOMPARE(table->cellAt(3, 11)->text(QAccessible::Name), QStringLiteral("FF"));
        QVERIFY(table->cellAt(22, 0) == nullptr);
        QVERIFY(table->cellAt(0, 18) == nullptr);
        QVERIFY(table->cellAt(-1, 0) == nullptr);
        QCOMPARE(table->cellAt(0, 5)->role(), QAccessible::ColumnHeader);
        QCOMPARE(table->cellAt(9, 0)->role(), QAccessible::RowHeader);
        QCOMPARE(table->cellAt(9, 9)->role(), QAccessible::Cell);
        QCOMPARE(table->columnDescription(5), QStringLiteral("4"));
        QCOMPARE(table->rowDescription(1), QStringLiteral("00012340"));

        // The same cell object each time; the child index matches the position.
        QAccessibleInterface* cell = table->cellAt(4, 9);
        QCOMPARE(table->cellAt(4, 9), cell);
        QCOMPARE(grid->indexOfChild(cell), 4 * 18 + 9);
        QCOMPARE(grid->child(4 * 18 + 9), cell);
        QCOMPARE(cell->parent(), grid);
        QAccessibleTableCellInterface* cellInfo = cell->tableCellInterface();
        QVERIFY(cellInfo != nullptr);
        QCOMPARE(cellInfo->rowIndex(), 4);
        QCOMPARE(cellInfo->columnIndex(), 9);
        QCOMPARE(cellInfo->columnHeaderCells().size(), 1);
        QCOMPARE(cellInfo->columnHeaderCells().first()->text(QAccessible::Name), QStringLiteral("8"));
        QCOMPARE(cellInfo->rowHeaderCells().first()->text(QAccessible::Name), QStringLiteral("00000030"));
        QCOMPARE(cell->rect().size(), QSize(25, 18));

        // Text follows the model, not a snapshot.
        m_model->SetCellText(4, 9, "5A");
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("5A"));
    }

    void accessibleSelectionIsTheFocusCell() {
        QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(m_grid);
        QAccessibleTableInterface* table = grid->tableInterface();
        QCOMPARE(table->selectedCellCount(), 0);
        QVERIFY(table->selectedCells().isEmpty());

        m_model->SetCurrentCell(6, 7);
        QCOMPARE(table->selectedCellCount(), 1);
        QCOMPARE(table->selectedCells().first(), table->cellAt(6, 7));
        QVERIFY(table->cellAt(6, 7)->state().selected);
        QVERIFY(table->cellAt(6, 7)->tableCellInterface()->isSelected());

        m_model->SetCurrentCell(8, 2);
        QVERIFY(!table->cellAt(6, 7)->state().selected);
        QVERIFY(table->cellAt(8, 2)->state().selected);
        QVERIFY(!table->cellAt(0, 2)->state().focusable);
        QVERIFY(table->cellAt(8, 2)->state().focusable);
    }

    void accessibleCellsOfADestroyedGridAreInvalid() {
        QAccessibleInterface* cell =
            QAccessible::queryAccessibleInterface(m_grid)->tableInterface()->cellAt(2, 2);
        const QAccessible::Id id = QAccessible::uniqueId(cell);
        delete m_grid;
        m_grid = nullptr;
        // The grid's cells went with it.
        QVERIFY(QAccessible::accessibleInterface(id) == nullptr);
    }

    void modelRepaintSchedulesAPaint() {
        QCoreApplication::processEvents();
        int paints = 0;
        PaintCounter counter(paints);
        m_grid->installEventFilter(&counter);

        m_model->SetCellText(3, 3, "00");  // no repaint request
        QCoreApplication::processEvents();
        QCOMPARE(paints, 0);
        m_model->Repaint();
        QTRY_COMPARE(paints, 1);

        // A repaint requested off the window thread is carried to it.
        std::thread worker([this] { m_model->Repaint(); });
        worker.join();
        QTRY_COMPARE(paints, 2);
    }

    void destroyedControlLeavesTheModelUsable() {
        delete m_grid;
        m_grid = nullptr;
        const uint64_t before = m_model->Revision();
        m_model->SetCurrentCell(4, 4);  // calls the listener the control had set
        m_model->Repaint();
        QCOMPARE(m_model->Revision(), before + 2);
    }

private:
    class PaintCounter : public QObject {
    public:
        explicit PaintCounter(int& paints) : m_paints(paints) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++m_paints;
            return false;
        }

    private:
        int& m_paints;
    };

    std::unique_ptr<GridModel> m_model;
    std::unique_ptr<Parent> m_parent;
    GridControl* m_grid = nullptr;
};

QTEST_MAIN(GridControlTest)
#include "GridControlTest.moc"
