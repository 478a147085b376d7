#include "widgets/qt/GridControl.h"

#include <QAccessible>
#include <QDropEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <mutex>
#include <optional>

#include "ports/CommandIds.h"
#include "widgets/qt/AccessibleGrid.h"

namespace {

QColor toQColor(GridColour colour) {
    return QColor(static_cast<int>(GridRed(colour)), static_cast<int>(GridGreen(colour)),
                  static_cast<int>(GridBlue(colour)));
}

Qt::Alignment alignmentOf(uint32_t format) {
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

QList<QByteArray> localFiles(const QMimeData* data) {
    QList<QByteArray> paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    // The URL's own bytes, not its text: a name that is no valid UTF-8 (GBK from
    // a Windows archive) still names its file.
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths.append(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    return paths;
}

std::optional<GridKey> gridKeyOf(const QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
        case Qt::Key_Up:
            return GridKey::Up;
        case Qt::Key_Down:
            return GridKey::Down;
        case Qt::Key_Left:
            return GridKey::Left;
        case Qt::Key_Right:
            return GridKey::Right;
        case Qt::Key_Tab:
            return (event->modifiers() & Qt::ShiftModifier) ? GridKey::BackTab : GridKey::Tab;
        case Qt::Key_Backtab:
            return GridKey::BackTab;
        case Qt::Key_PageUp:
            return GridKey::PageUp;
        case Qt::Key_PageDown:
            return GridKey::PageDown;
        case Qt::Key_Home:
            return ctrl ? GridKey::CtrlHome : GridKey::Home;
        case Qt::Key_End:
            return ctrl ? GridKey::CtrlEnd : GridKey::End;
        default:
            return std::nullopt;
    }
}

}  // namespace

GridControl::GridControl(GridModel& model, QWidget* parent) : QWidget(parent), m_model(model) {
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(GridAccessibleFactory); });

    setObjectName(QStringLiteral("HexGridControl"));
    setProperty("controlId", CommandId::HexGrid);
    // A tab stop; clicks give the focus only with the left button (mousePressEvent).
    setFocusPolicy(Qt::TabFocus);
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Every cell counts as in view until the first resize gives the real client size.
    m_model.SetViewportSize(0, 0);
    m_model.SetRepaintListener([this] { modelRepainted(); });
}

GridControl::~GridControl() {
    m_model.SetRepaintListener(nullptr);
}

const QStringList& GridControl::DefaultFaces() {
    static const QStringList faces{QStringLiteral("SimSun"),
                                   QStringLiteral("NSimSun"),
                                   QStringLiteral("WenQuanYi Micro Hei Mono"),
                                   QStringLiteral("Noto Sans Mono CJK SC"),
                                   QStringLiteral("WenQuanYi Micro Hei"),
                                   QStringLiteral("DejaVu Sans Mono"),
                                   QStringLiteral("monospace")};
    return faces;
}

QFont GridControl::fontFor(const GridFont& cellFont) const {
    return slotFor(cellFont).font;
}

GridControl::FontSlot& GridControl::slotFor(const GridFont& cellFont) const {
    for (FontSlot& slot : m_slots)
        if (slot.cellFont == cellFont) return slot;

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
        if (cell > cellFont.height) font.setPixelSize(std::max(1, cellFont.height * cellFont.height / cell));
    }
    if (cellFont.width > 0) {
        const int advance = QFontMetrics(font).horizontalAdvance(QLatin1Char('0'));
        if (advance > 0 && advance != cellFont.width)
            font.setStretch(std::clamp(cellFont.width * 100 / advance, 1, 4000));
    }
    m_slots.push_back(FontSlot{cellFont, font, {}});
    return m_slots.back();
}

void GridControl::drawCellText(QPainter& painter, FontSlot& slot, const std::string& content,
                               const QRect& area, uint32_t format) const {
    const Qt::Alignment alignment = alignmentOf(format);
    if (!(format & GridFormat::SingleLine)) {
        // Wrapped text is rare here: the general text drawing does it.
        painter.drawText(area, static_cast<int>(alignment) | Qt::TextWordWrap,
                         QString::fromStdString(content));
        return;
    }
    // Addresses and ASCII rows change with every page; keep the cache from growing
    // without bound while paging through a large image.
    if (slot.texts.size() > 4096) slot.texts.clear();
    auto found = slot.texts.find(content);
    if (found == slot.texts.end()) {
        QStaticText text(QString::fromStdString(content));
        text.setTextFormat(Qt::PlainText);
        text.setPerformanceHint(QStaticText::AggressiveCaching);
        text.prepare(QTransform(), slot.font);
        found = slot.texts.emplace(content, std::move(text)).first;
    }
    const QSizeF size = found->second.size();
    if (size.width() > area.width() && (format & GridFormat::EndEllipsis)) {
        const QString shown =
            QFontMetrics(slot.font).elidedText(QString::fromStdString(content), Qt::ElideRight, area.width());
        painter.drawText(area, static_cast<int>(alignment) | Qt::TextSingleLine, shown);
        return;
    }
    qreal x = area.left();
    if (alignment & Qt::AlignRight)
        x = area.left() + area.width() - size.width();
    else if (alignment & Qt::AlignHCenter)
        x = area.left() + (area.width() - size.width()) / 2;
    qreal y = area.top();
    if (alignment & Qt::AlignVCenter) y = area.top() + (area.height() - size.height()) / 2;
    // The text stays inside its (widened) rectangle.
    const bool overflows = size.width() > area.width() || size.height() > area.height();
    if (overflows) {
        painter.save();
        painter.setClipRect(area, Qt::IntersectClip);
    }
    painter.drawStaticText(QPointF(x, y), found->second);
    if (overflows) painter.restore();
}

QSize GridControl::sizeHint() const {
    return QSize(m_model.TotalWidth(), m_model.TotalHeight());
}

void GridControl::modelRepainted() {
    // The model is used on the window thread; a repaint request from elsewhere is
    // carried there rather than touching the widget.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this] { modelRepainted(); }, Qt::QueuedConnection);
        return;
    }
    update();
    announceFocus();
}

void GridControl::announceFocus() {
    const GridCellId current = m_model.CurrentCell();
    if (current == m_announced) return;
    m_announced = current;
    if (!QAccessible::isActive() || !hasFocus() || !current.IsValid()) return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(this);
    if (table == nullptr || table->tableInterface() == nullptr) return;
    if (QAccessibleInterface* cell = table->tableInterface()->cellAt(current.row, current.column)) {
        QAccessibleEvent focus(cell, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

bool GridControl::event(QEvent* event) {
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

void GridControl::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, toQColor(m_model.DefaultCell(GridCellKind::Normal).backColour));

    const QColor lineColour = toQColor(m_model.GridLineColour());
    const QColor shadowColour = toQColor(m_model.FixedShadowColour());
    const QColor lightEdge = Qt::white;
    const int rows = m_model.RowCount();
    const int columns = m_model.ColumnCount();
    FontSlot* currentSlot = nullptr;
    GridFont cellFont;

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
            if (width <= 0 || height <= 0 || !cell.intersects(dirty)) continue;

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
                const GridFont wanted = m_model.EffectiveFont(row, column);
                if (currentSlot == nullptr || !(wanted == cellFont)) {
                    cellFont = wanted;
                    currentSlot = &slotFor(cellFont);
                    painter.setFont(currentSlot->font);
                }
                const int widening = m_model.TextWidening(row, column);
                painter.setPen(text);
                drawCellText(painter, *currentSlot, content, cell.adjusted(-widening, 0, widening, 0),
                             m_model.CellFormat(row, column));
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

void GridControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_model.SetViewportSize(width(), height());
}

void GridControl::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Cell fonts are derived from the widget's font.
    if (event->type() == QEvent::FontChange) m_slots.clear();
}

void GridControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    m_pressedOnCell = m_model.LeftPress(at.x(), at.y());
    event->accept();
}

void GridControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    if (!m_pressedOnCell) return;
    m_pressedOnCell = false;
    const QPoint at = event->position().toPoint();
    Q_EMIT commandNotice(CommandId::HexGrid, at.x(), at.y());
}

void GridControl::mouseDoubleClickEvent(QMouseEvent* event) {
    // No editor of the grid's own: the second press of a double click is a press.
    mousePressEvent(event);
}

void GridControl::mouseMoveEvent(QMouseEvent* event) {
    // No hover effects and no drag selection.
    event->accept();
}

void GridControl::wheelEvent(QWheelEvent* event) {
    // The window pages the view with the wheel.
    event->ignore();
}

void GridControl::keyPressEvent(QKeyEvent* event) {
    const std::optional<GridKey> key = gridKeyOf(event);
    if (!key) {
        event->ignore();
        return;
    }
    m_model.Navigate(*key);
    event->accept();
}

void GridControl::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void GridControl::dragMoveEvent(QDragMoveEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void GridControl::dropEvent(QDropEvent* event) {
    const QList<QByteArray> paths = localFiles(event->mimeData());
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
