#include "tools/qt/GotoDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "tools/GotoForm.h"
#include "tools/qt/HexEditCheck.h"

GotoDialog::GotoDialog(GotoForm& form, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent),
      m_form(form),
      m_address(new QLineEdit(this)),
      m_jump(new QPushButton(QStringLiteral("确定"), this)) {
    setWindowTitle(QString::fromUtf8(GotoForm::Title));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_address->setObjectName(QStringLiteral("gotoAddress"));
    m_address->setMaxLength(8);
    m_address->setValidator(new UpperCaseValidator(m_address));
    AttachHexCheck(m_address, boxes, GotoForm::HexCharacterMessage);

    m_jump->setObjectName(QStringLiteral("gotoJump"));
    m_jump->setDefault(true);  // Enter anywhere jumps; it never closes the dialog
    auto* exit = new QPushButton(QStringLiteral("退出"), this);
    exit->setObjectName(QStringLiteral("gotoExit"));
    exit->setAutoDefault(false);

    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(new QLabel(QStringLiteral("地址(16进制):"), this));
    addressRow->addWidget(m_address);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_jump);
    buttons->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(addressRow);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_jump, &QPushButton::clicked, this, &GotoDialog::Jump);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
}

void GotoDialog::Jump() {
    // The editor opened on the byte sits in the main window: the digits typed next
    // go there, as after a click on the cell.
    if (m_form.Press(m_address->text().toStdString()) == GotoForm::Result::EditorOpened && parentWidget())
        parentWidget()->activateWindow();
}
