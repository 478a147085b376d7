#include "tools/qt/FillDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "tools/FileFill.h"
#include "tools/qt/HexEditCheck.h"

namespace {

QLineEdit* UpperCaseEdit(const char* name, int maxLength, const char* text, QWidget* parent) {
    auto* edit = new QLineEdit(QString::fromUtf8(text), parent);
    edit->setObjectName(QString::fromUtf8(name));
    edit->setMaxLength(maxLength);
    edit->setValidator(new UpperCaseValidator(edit));
    return edit;
}

}  // namespace

FillDialog::FillDialog(FileFill& fill, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent),
      m_form(fill),
      m_address(UpperCaseEdit("fillAddress", 8, FileFill::InitialAddress, this)),
      m_length(UpperCaseEdit("fillLength", 10, FileFill::InitialLength, this)),
      m_data(UpperCaseEdit("fillData", 2, "", this)),
      m_status(new QLabel(QString::fromUtf8(FileFill::InitialStatus), this)),
      m_append(new QCheckBox(QStringLiteral("从文件结尾\n处开始填充"), this)),
      m_fill(new QPushButton(QStringLiteral("确定"), this)) {
    setWindowTitle(QString::fromUtf8(FileFill::Title));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // The address the program writes (the end of the file) passes its check once.
    AttachCharacterCheck(
        m_address, boxes, FileFill::HexCharacterMessage,
        [this](std::string_view text, size_t caret) { return m_form.CheckAddress(text, caret); },
        CheckedChanges::UserAndProgram);
    AttachCharacterCheck(m_length, boxes, FileFill::DecimalCharacterMessage, CheckDecimalCharacter);
    AttachHexCheck(m_data, boxes, FileFill::HexCharacterMessage);
    m_status->setObjectName(QStringLiteral("fillStatus"));
    m_status->setMinimumWidth(200);
    m_append->setObjectName(QStringLiteral("fillAppend"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("地址(16进制):"), this), 0, 0);
    grid->addWidget(m_address, 0, 1);
    grid->addWidget(m_append, 0, 2, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("长度(10进制):"), this), 1, 0);
    grid->addWidget(m_length, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("数据(16进制):"), this), 2, 0);
    grid->addWidget(m_data, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("状态："), this), 3, 0);
    grid->addWidget(m_status, 3, 1, 1, 2);

    m_fill->setObjectName(QStringLiteral("fillButton"));
    m_fill->setDefault(true);  // Enter anywhere fills; it never closes the dialog
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("fillCancel"));
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_fill);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_append, &QCheckBox::clicked, this, &FillDialog::AppendClicked);
    connect(m_fill, &QPushButton::clicked, this, &FillDialog::Fill);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FillDialog::AppendClicked(bool ticked) {
    const std::string text = m_form.SetAppend(ticked);
    m_address->setReadOnly(ticked);
    m_address->setText(QString::fromStdString(text));
}

void FillDialog::Fill() {
    const FillOutcome outcome = m_form.Press(m_address->text().toStdString(), m_length->text().toStdString(),
                                             m_data->text().toStdString());
    if (!outcome.dialogStatus.empty()) m_status->setText(QString::fromStdString(outcome.dialogStatus));
    if (outcome.addressText) m_address->setText(QString::fromStdString(*outcome.addressText));
}
