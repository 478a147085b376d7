#pragma once

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QStaticText>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <string>
#include <unordered_map>

#include "widgets/GridModel.h"

class QDropEvent;

// The hex view's grid control (1057): draws a GridModel and feeds it the mouse and
// keyboard. All decisions (focus rules, clamping, colours) live in the model; this
// widget only paints what the model says and reports clicks and drops upward.
// The model outlives the control or is destroyed after it.
class GridControl : public QWidget {
    Q_OBJECT

public:
    explicit GridControl(GridModel& model, QWidget* parent = nullptr);
    ~GridControl() override;

    GridModel& model() const { return m_model; }

    // The Qt font for a cell font of the model. An empty face means the default
    // face: "SimSun", else an installed CJK or monospace face. Height and width
    // are the cell height and the average character width in pixels.
    QFont fontFor(const GridFont& font) const;
    QFont cellFont(int row, int column) const { return fontFor(m_model.EffectiveFont(row, column)); }

    // How many drops were released (accepted) after their handler returned.
    int dropReleaseCount() const { return m_dropReleases; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Default faces tried, in order, when a cell font names none.
    static const QStringList& DefaultFaces();

Q_SIGNALS:
    // The release after a left press on a cell, at (x, y) of the grid's client
    // area; the window reads CurrentCell. Connect it queued: the window's handler
    // runs after the mouse handler has returned.
    void commandNotice(int id, int x, int y);
    // Local files dropped on the grid, as the bytes of their names. Handlers run
    // before the drop is released.
    void filesDropped(const QList<QByteArray>& paths);
    // The drop was released; follows filesDropped once.
    void dropReleased();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // A cell font with the laid-out texts drawn in it. Hex texts repeat on every
    // page, so a scroll step mostly draws prepared texts.
    struct FontSlot {
        GridFont cellFont;
        QFont font;
        std::unordered_map<std::string, QStaticText> texts;
    };

    FontSlot& slotFor(const GridFont& font) const;
    void drawCellText(QPainter& painter, FontSlot& slot, const std::string& content, const QRect& area,
                      uint32_t format) const;
    void modelRepainted();
    void announceFocus();

    GridModel& m_model;
    bool m_pressedOnCell = false;
    int m_dropReleases = 0;
    GridCellId m_announced;
    mutable std::deque<FontSlot> m_slots;  // stable addresses while growing
};
