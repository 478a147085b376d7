#include "tools/qt/QtToolDialogs.h"

#include "tools/qt/DataViewDialog.h"
#include "tools/qt/FindDialog.h"

void QtToolDialogs::RunDataView(DataViewLookup& lookup)
{
    DataViewDialog dialog(lookup, m_boxes, m_window);
    dialog.exec();
}

void QtToolDialogs::RunFind(FindSession& session)
{
    FindDialog dialog(session, m_window);
    dialog.exec();
}
