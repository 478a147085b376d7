#include "tools/qt/QtToolDialogs.h"

#include "tools/qt/DataViewDialog.h"
#include "tools/qt/FillDialog.h"
#include "tools/qt/FindDialog.h"
#include "tools/qt/GotoDialog.h"

void QtToolDialogs::RunDataView(DataViewLookup& lookup) {
    DataViewDialog dialog(lookup, m_boxes, m_window);
    dialog.exec();
}

void QtToolDialogs::RunFind(FindSession& session) {
    FindDialog dialog(session, m_window);
    dialog.exec();
}

void QtToolDialogs::OpenGoto(GotoForm& form) {
    // Owned by the window and deleted when closed.
    auto* dialog = new GotoDialog(form, m_boxes, m_window);
    dialog->show();
}

void QtToolDialogs::RunFill(FileFill& fill) {
    FillDialog dialog(fill, m_boxes, m_window);
    dialog.exec();
}
