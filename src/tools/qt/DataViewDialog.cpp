#include "tools/qt/DataViewDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "tools/DataView.h"
#include "tools/qt/HexEditCheck.h"

DataViewDialog::DataViewDialog(DataViewLookup& lookup, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent),
      m_lookup(lookup),
      m_address(new QLineEdit(QString::fromUtf8(DataViewLookup::InitialAddress), this)),
      m_file(new QLabel(QString::fromUtf8(DataViewLookup::InitialLabel), this)),
      m_chip(new QLabel(QString::fromUtf8(DataViewLookup::InitialLabel), this)),
      m_status(new QLabel(QString::fromUtf8(DataViewLookup::InitialLabel), this)),
      m_lookUp(new QPushButton(QStringLiteral("确定"), this)) {
    setWindowTitle(QString::fromUtf8(Title));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_address->setObjectName(QStringLiteral("dataViewAddress"));
    m_address->setMaxLength(8);
    m_address->setValidator(new UpperCaseValidator(m_address));
    AttachHexCheck(m_address, boxes, DataViewLookup::HexCharacterMessage);
    m_file->setObjectName(QStringLiteral("dataViewFile"));
    m_chip->setObjectName(QStringLiteral("dataViewChip"));
    m_status->setObjectName(QStringLiteral("dataViewStatus"));
    m_status->setMinimumWidth(220);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("查看地址(16进制):"), this), 0, 0);
    grid->addWidget(m_address, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("文件数据(16进制):"), this), 1, 0);
    grid->addWidget(m_file, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("片内数据(16进制):"), this), 2, 0);
    grid->addWidget(m_chip, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("状态:"), this), 3, 0);
    grid->addWidget(m_status, 3, 1);

    m_lookUp->setObjectName(QStringLiteral("dataViewLookUp"));
    m_lookUp->setDefault(true);  // Enter anywhere presses it; it never closes the dialog
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("dataViewCancel"));
    // Enter on it presses the default button, as anywhere else in the dialog.
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_lookUp);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_lookUp, &QPushButton::clicked, this, &DataViewDialog::LookUp);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void DataViewDialog::LookUp() {
    const auto result = m_lookup.Press(m_address->text().toStdString());
    if (!result) return;
    m_file->setText(QString::fromStdString(result->fileText));
    m_chip->setText(QString::fromStdString(result->chipText));
    m_status->setText(QString::fromStdString(result->status));
}
