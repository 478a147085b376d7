#pragma once

#include <QObject>
#include <QPointer>

#include "ports/WindowPorts.h"

class QComboBox;

// The chip model list 1078. A row selected by the program (start-up, a detection)
// raises no selection-change notice; only the user's choice does.
class QtChipModelList : public QObject, public ChipModelList {
    Q_OBJECT

public:
    explicit QtChipModelList(QComboBox* list, QObject* parent = nullptr);

    void SelectRow(int row) override;

private:
    QPointer<QComboBox> m_list;
};
