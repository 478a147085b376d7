#include "widgets/qt/AccessibleGrid.h"

#include <QWidget>
#include <QWindow>

#include "widgets/qt/GridControl.h"

namespace {

quint64 cellKey(int row, int column) {
    return (static_cast<quint64>(static_cast<quint32>(row)) << 32) | static_cast<quint32>(column);
}

}  // namespace

AccessibleGrid::AccessibleGrid(GridControl* grid) : QAccessibleWidget(grid, QAccessible::Table) {}

AccessibleGrid::~AccessibleGrid() {
    dropCells();
}

GridControl* AccessibleGrid::grid() const {
    return static_cast<GridControl*>(widget());
}

void AccessibleGrid::dropCells() const {
    for (QAccessible::Id id : std::as_const(m_cells)) QAccessible::deleteAccessibleInterface(id);
    m_cells.clear();
}

void* AccessibleGrid::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int AccessibleGrid::rowCount() const {
    return grid()->model().RowCount();
}

int AccessibleGrid::columnCount() const {
    return grid()->model().ColumnCount();
}

int AccessibleGrid::childCount() const {
    return rowCount() * columnCount();
}

QAccessibleInterface* AccessibleGrid::child(int index) const {
    const int columns = columnCount();
    if (index < 0 || columns <= 0 || index >= childCount()) return nullptr;
    return cellAt(index / columns, index % columns);
}

int AccessibleGrid::indexOfChild(const QAccessibleInterface* child) const {
    auto* cell = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
    if (cell == nullptr || cell->table() != this || !child->isValid()) return -1;
    return cell->rowIndex() * columnCount() + cell->columnIndex();
}

QAccessibleInterface* AccessibleGrid::childAt(int x, int y) const {
    const QPoint local = grid()->mapFromGlobal(QPoint(x, y));
    const GridCellId cell = grid()->model().CellAt(local.x(), local.y());
    return cell.IsValid() ? cellAt(cell.row, cell.column) : nullptr;
}

QAccessibleInterface* AccessibleGrid::focusChild() const {
    const GridCellId current = grid()->model().CurrentCell();
    if (!grid()->hasFocus() || !current.IsValid()) return nullptr;
    return cellAt(current.row, current.column);
}

QAccessibleInterface* AccessibleGrid::cellAt(int row, int column) const {
    const GridModel& model = grid()->model();
    if (row < 0 || column < 0 || row >= model.RowCount() || column >= model.ColumnCount()) return nullptr;
    // A new shape makes the old cell interfaces meaningless.
    if (m_rows != model.RowCount() || m_columns != model.ColumnCount()) {
        dropCells();
        m_rows = model.RowCount();
        m_columns = model.ColumnCount();
    }
    const quint64 key = cellKey(row, column);
    auto found = m_cells.constFind(key);
    if (found != m_cells.constEnd()) return QAccessible::accessibleInterface(*found);
    auto* cell = new AccessibleGridCell(grid(), row, column);
    m_cells.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

int AccessibleGrid::selectedCellCount() const {
    return grid()->model().CurrentCell().IsValid() ? 1 : 0;
}

QList<QAccessibleInterface*> AccessibleGrid::selectedCells() const {
    const GridCellId current = grid()->model().CurrentCell();
    if (!current.IsValid()) return {};
    return {cellAt(current.row, current.column)};
}

QString AccessibleGrid::columnDescription(int column) const {
    const GridModel& model = grid()->model();
    if (model.FixedRowCount() == 0) return QString();
    return QString::fromStdString(model.CellText(0, column)).trimmed();
}

QString AccessibleGrid::rowDescription(int row) const {
    const GridModel& model = grid()->model();
    if (model.FixedColumnCount() == 0) return QString();
    return QString::fromStdString(model.CellText(row, 0)).trimmed();
}

void AccessibleGrid::modelChange(QAccessibleTableModelChangeEvent*) {
    dropCells();
}

AccessibleGridCell::AccessibleGridCell(GridControl* grid, int row, int column)
    : m_grid(grid), m_row(row), m_column(column) {}

void* AccessibleGridCell::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableCellInterface) return static_cast<QAccessibleTableCellInterface*>(this);
    return nullptr;
}

bool AccessibleGridCell::isValid() const {
    return !m_grid.isNull() && m_row < m_grid->model().RowCount() && m_column < m_grid->model().ColumnCount();
}

QWindow* AccessibleGridCell::window() const {
    if (m_grid.isNull()) return nullptr;
    QWidget* top = m_grid->window();
    return top != nullptr ? top->windowHandle() : nullptr;
}

QAccessibleInterface* AccessibleGridCell::parent() const {
    return table();
}

QAccessibleInterface* AccessibleGridCell::table() const {
    return m_grid.isNull() ? nullptr : QAccessible::queryAccessibleInterface(m_grid.data());
}

QString AccessibleGridCell::text(QAccessible::Text t) const {
    if (!isValid()) return QString();
    if (t == QAccessible::Name) return QString::fromStdString(m_grid->model().CellText(m_row, m_column));
    return QString();
}

QRect AccessibleGridCell::rect() const {
    GridRect cell;
    if (!isValid() || !m_grid->model().CellRectangle(m_row, m_column, cell)) return QRect();
    const QPoint origin = m_grid->mapToGlobal(QPoint(cell.left, cell.top));
    return QRect(origin, QSize(cell.right - cell.left + 1, cell.bottom - cell.top + 1));
}

QAccessible::Role AccessibleGridCell::role() const {
    if (isValid()) {
        const GridModel& model = m_grid->model();
        if (m_row < model.FixedRowCount()) return QAccessible::ColumnHeader;
        if (m_column < model.FixedColumnCount()) return QAccessible::RowHeader;
    }
    return QAccessible::Cell;
}

QAccessible::State AccessibleGridCell::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    const GridModel& model = m_grid->model();
    GridRect cell;
    state.invisible = !m_grid->isVisible() || !model.CellRectangle(m_row, m_column, cell);
    const bool focusable = !model.IsFixed(m_row, m_column);
    state.focusable = focusable;
    state.selectable = focusable;
    state.selected = isSelected();
    state.focused = state.selected && m_grid->hasFocus();
    return state;
}

bool AccessibleGridCell::isSelected() const {
    return isValid() && m_grid->model().CurrentCell() == GridCellId{m_row, m_column};
}

QList<QAccessibleInterface*> AccessibleGridCell::columnHeaderCells() const {
    QList<QAccessibleInterface*> headers;
    QAccessibleInterface* grid = table();
    if (!isValid() || grid == nullptr) return headers;
    for (int row = 0; row < m_grid->model().FixedRowCount() && row != m_row; ++row)
        if (QAccessibleInterface* header = grid->tableInterface()->cellAt(row, m_column))
            headers.append(header);
    return headers;
}

QList<QAccessibleInterface*> AccessibleGridCell::rowHeaderCells() const {
    QList<QAccessibleInterface*> headers;
    QAccessibleInterface* grid = table();
    if (!isValid() || grid == nullptr) return headers;
    for (int column = 0; column < m_grid->model().FixedColumnCount() && column != m_column; ++column)
        if (QAccessibleInterface* header = grid->tableInterface()->cellAt(m_row, column))
            headers.append(header);
    return headers;
}

QAccessibleInterface* GridAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("GridControl"))
        if (auto* grid = qobject_cast<GridControl*>(object)) return new AccessibleGrid(grid);
    return nullptr;
}
