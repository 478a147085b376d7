#include "app/qt/QtChipModelList.h"

#include <QComboBox>
#include <QSignalBlocker>

#include "widgets/qt/GuiThread.h"

QtChipModelList::QtChipModelList(QComboBox* list, QObject* parent) : QObject(parent), m_list(list) {}

void QtChipModelList::SelectRow(int row) {
    RunOnGuiThread(
        this,
        [this, row] {
            if (!m_list) return;
            const QSignalBlocker quiet(m_list.data());
            m_list->setCurrentIndex(row >= 0 && row < m_list->count() ? row : -1);
        },
        false);
}
