#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

#include "hexview/HexView.h"
#include "hexview/ScrollBarPort.h"

class QScrollBar;

// The hex view's scroll bar 1002. The user's line, page and thumb actions go to
// the view, which decides the top row; the bar then shows the position the view
// sets, never one of its own.
class QtScrollBar : public QObject, public ScrollBarPort {
    Q_OBJECT

public:
    // `onScroll` handles a scroll code with the thumb position; false when refused.
    using ScrollHandler = std::function<bool(ScrollCode code, int thumbPosition)>;

    QtScrollBar(QScrollBar* bar, QObject* parent = nullptr);
    void setScrollHandler(ScrollHandler handler) { m_handler = std::move(handler); }

    void SetRange(int maximum, bool enabled) override;
    void SetPosition(int position) override;
    void TakeFocus() override;

private:
    void onAction(int action);

    QPointer<QScrollBar> m_bar;
    ScrollHandler m_handler;
};
