#pragma once

#include <QPointer>
#include <QWidget>

#include "tools/ToolDialogs.h"

class MessageBoxes;

// The address tools' dialogs over the main window.
class QtToolDialogs : public ToolDialogs {
public:
    QtToolDialogs(QWidget* window, MessageBoxes& boxes) : m_window(window), m_boxes(boxes) {}

    void RunDataView(DataViewLookup& lookup) override;
    void RunFind(FindSession& session) override;
    void OpenGoto(GotoForm& form) override;
    void RunFill(FileFill& fill) override;

private:
    QPointer<QWidget> m_window;
    MessageBoxes& m_boxes;
};
