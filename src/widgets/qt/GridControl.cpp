#include "widgets/qt/GridControl.h"

#include <QAccessible>
#include <QDropEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QThread>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <mutex>
#include <optional>

#include "app/CommandIds.h"
#include "widgets/qt/AccessibleGrid.h"

namespace {

QColor toQColor(GridColour colour)
{
    return QColor(static_cast<int>(GridRed(colour)), static_cast<int>(GridGreen(colour)),
                  static_cast<int>(GridBlue(colour)));
}

Qt::Alignment alignmentOf(uint32_t format)
{
    Qt::Alignment alignment;
    if (format & GridFormat::Right)
        alignment |= Qt::AlignRight;
    else if (format & GridFormat::Center)
        alignment |= Qt::AlignHCenter;
    else
        alignment |= Qt::AlignLeft;
    // Vertical centring only applies to single-line text, as with the platform's text drawing.
    if ((format & GridFormat::VCenter) && (format & GridFormat::SingleLine))
        alignment |= Qt::AlignVCenter;
    else
        alignment |= Qt::AlignTop;
    return alignment;
}

QStringList localFiles(const QMimeData* data)
{
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    return paths;
}

std::optional<GridKey> gridKeyOf(const QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Up: return GridKey::Up;
    case Qt::Key_Down: return GridKey::Down;
    case Qt::Key_Left: return GridKey::Left;
    case Qt::Key_Right: return GridKey::Right;
    case Qt::Key_Tab: return (event->modifiers() & Qt::ShiftModifier) ? GridKey::BackTab : GridKey::Tab;
    case Qt::Key_Backtab: return GridKey::BackTab;
    case Qt::Key_PageUp: return GridKey::PageUp;
    case Qt::Key_PageDown: return GridKey::PageDown;
    case Qt::Key_Home: return ctrl ? GridKey::CtrlHome : GridKey::Home;
    case Qt::Key_End: return ctrl ? GridKey::CtrlEnd : GridKey::End;
    default: return std::nullopt;
    }
}

}  // namespace

GridControl::GridControl(GridModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(GridAccessibleFactory); });

    setObjectName(QStringLiteral("HexGridControl"));
    setProperty("controlId", CommandId::HexGrid);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Every cell counts as in view until the first resize gives the real client size.
    m_model.SetViewportSize(0, 0);
    m_model.SetRepaintListener([this] { modelRepainted(); });
}

GridControl::~GridControl()
{
    m_model.SetRepaintListener(nullptr);
}

const QStringList& GridControl::DefaultFaces()
{
    static const QStringList faces{QStringLiteral("SimSun"),
                                   QStringLiteral("NSimSun"),
                                   QStringLiteral("WenQuanYi Micro Hei Mono"),
                                   QStringLiteral("Noto Sans Mono CJK SC"),
                                   QStringLiteral("WenQuanYi Micro Hei"),
                                   QStringLiteral("DejaVu Sans Mono"),
                                   QStringLiteral("monospace")};
    return faces;
}

QFont GridControl::fontFor(const GridFont& cellFont) const
{
    const QString key = QStringLiteral("%1|%2|%3")
                            .arg(QString::fromStdString(cellFont.face))
                            .arg(cellFont.height)
                            .arg(cellFont.width);
    auto cached = m_fonts.constFind(key);
    if (cached != m_fonts.constEnd())
        return *cached;

    QFont font = this->font();
    if (cellFont.face.empty())
        font.setFamilies(DefaultFaces());
    else
        font.setFamilies({QString::fromStdString(cellFont.face)});
    font.setStyleHint(QFont::TypeWriter);
    if (cellFont.height > 0) {
        // The height is the whole character cell; faces whose ascent and descent
        // exceed their em size are made smaller to fit it.
        font.setPixelSize(cellFont.height);
        const int cell = QFontMetrics(font).height();
        if (cell > cellFont.height)
            font.setPixelSize(std::max(1, cellFont.height * cellFont.height / cell));
    }
    if (cellFont.width > 0) {
        const int advance = QFontMetrics(font).horizontalAdvance(QLatin1Char('0'));
        if (advance > 0 && advance != cellFont.width)
            font.setStretch(std::clamp(cellFont.width * 100 / advance, 1, 4000));
    }
    m_fonts.insert(key, font);
    return font;
}

QSize GridControl::sizeHint() const
{
    return QSize(m_model.TotalWidth(), m_model.TotalHeight());
}

void GridControl::modelRepainted()
{
    // The model is used on the window thread; a repaint request from elsewhere is
    // carried there rather than touching the widget.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this] { modelRepainted(); }, Qt::QueuedConnection);
        return;
    }
    update();
    announceFocus();
}

void GridControl::announceFocus()
{
    const GridCellId current = m_model.CurrentCell();
    if (current == m_announced)
        return;
    m_announced = current;
    if (!QAccessible::isActive() || !hasFocus() || !current.IsValid())
        return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(this);
    if (table == nullptr || table->tableInterface() == nullptr)
        return;
    if (QAccessibleInterface* cell = table->tableInterface()->cellAt(current.row, current.column)) {
        QAccessibleEvent focus(cell, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

bool GridControl::event(QEvent* event)
{
    // Tab moves the focus cell inside the grid instead of leaving it.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QWidget::event(event);
}

void GridControl::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, toQColor(m_model.DefaultCell(GridCellKind::Normal).backColour));

    const QColor lineColour = toQColor(m_model.GridLineColour());
    const QColor shadowColour = toQColor(m_model.FixedShadowColour());
    const QColor lightEdge = Qt::white;
    const int rows = m_model.RowCount();
    const int columns = m_model.ColumnCount();

    int top = 0;
    for (int row = 0; row < rows && top <= dirty.bottom(); ++row) {
        const int height = m_model.RowHeight(row);
        if (top + height <= dirty.top()) {
            top += height;
            continue;
        }
        int left = 0;
        for (int column = 0; column < columns && left <= dirty.right(); ++column) {
            const int width = m_model.ColumnWidth(column);
            const QRect cell(left, top, width, height);
            left += width;
            if (width <= 0 || height <= 0 || !cell.intersects(dirty))
                continue;

            const bool fixed = m_model.IsFixed(row, column);
            const QColor text = toQColor(m_model.EffectiveTextColour(row, column));
            painter.fillRect(cell, toQColor(m_model.EffectiveBackColour(row, column)));
            if (fixed) {
                // Raised edge: light top and left, shadow right and bottom.
                painter.setPen(lightEdge);
                painter.drawLine(cell.topLeft(), cell.topRight());
                painter.drawLine(cell.topLeft(), cell.bottomLeft());
                painter.setPen(shadowColour);
                painter.drawLine(cell.topRight(), cell.bottomRight());
                painter.drawLine(cell.bottomLeft(), cell.bottomRight());
            } else {
                painter.setPen(lineColour);
                painter.drawLine(cell.topRight(), cell.bottomRight());
                painter.drawLine(cell.bottomLeft(), cell.bottomRight());
            }

            const std::string& content = m_model.CellText(row, column);
            if (!content.empty()) {
                const uint32_t format = m_model.CellFormat(row, column);
                const int widening = m_model.TextWidening(row, column);
                const QRect textArea = cell.adjusted(-widening, 0, widening, 0);
                const QFont font = cellFont(row, column);
                QString shown = QString::fromStdString(content);
                if (format & GridFormat::EndEllipsis)
                    shown = QFontMetrics(font).elidedText(shown, Qt::ElideRight, textArea.width());
                int flags = static_cast<int>(alignmentOf(format));
                if (format & GridFormat::SingleLine)
                    flags |= Qt::TextSingleLine;
                painter.setFont(font);
                painter.setPen(text);
                painter.drawText(textArea, flags, shown);
            }
            if (m_model.IsFocusMarked(row, column)) {
                painter.setPen(text);
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(cell.adjusted(0, 0, -1, -1));
            }
        }
        top += height;
    }
}

void GridControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_model.SetViewportSize(width(), height());
}

void GridControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    m_pressedOnCell = m_model.LeftPress(at.x(), at.y());
    event->accept();
}

void GridControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    if (!m_pressedOnCell)
        return;
    m_pressedOnCell = false;
    Q_EMIT commandNotice(CommandId::HexGrid);
}

void GridControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // No editor of the grid's own: the second press of a double click is a press.
    mousePressEvent(event);
}

void GridControl::mouseMoveEvent(QMouseEvent* event)
{
    // No hover effects and no drag selection.
    event->accept();
}

void GridControl::wheelEvent(QWheelEvent* event)
{
    // The window pages the view with the wheel.
    event->ignore();
}

void GridControl::keyPressEvent(QKeyEvent* event)
{
    const std::optional<GridKey> key = gridKeyOf(event);
    if (!key) {
        event->ignore();
        return;
    }
    m_model.Navigate(*key);
    event->accept();
}

void GridControl::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void GridControl::dragMoveEvent(QDragMoveEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void GridControl::dropEvent(QDropEvent* event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    // The window handles the drop before it is released, and it is released once.
    Q_EMIT filesDropped(paths);
    event->acceptProposedAction();
    ++m_dropReleases;
    Q_EMIT dropReleased();
}
