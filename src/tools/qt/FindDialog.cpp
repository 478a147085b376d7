#include "tools/qt/FindDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "tools/FindSession.h"

FindDialog::FindDialog(FindSession& session, QWidget* parent)
    : QDialog(parent),
      m_session(session),
      m_data(new QLineEdit(this)),
      m_hex(new QRadioButton(QStringLiteral("16进制方式"), this)),
      m_character(new QRadioButton(QStringLiteral("字符方式"), this)),
      m_find(new QPushButton(QString::fromUtf8(FirstCaption), this)) {
    setWindowTitle(QString::fromUtf8(Title));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_data->setObjectName(QStringLiteral("findData"));
    m_data->setMinimumWidth(240);
    m_hex->setObjectName(QStringLiteral("findHexMode"));
    m_character->setObjectName(QStringLiteral("findCharacterMode"));
    m_hex->setChecked(true);
    m_find->setObjectName(QStringLiteral("findButton"));
    m_find->setDefault(true);  // Enter presses it; it never closes the dialog
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("findCancel"));
    // Enter on it presses the default button, as anywhere else in the dialog.
    cancel->setAutoDefault(false);

    auto* dataRow = new QHBoxLayout;
    dataRow->addWidget(new QLabel(QStringLiteral("查找数据:"), this));
    dataRow->addWidget(m_data, 1);
    auto* modes = new QHBoxLayout;
    modes->addWidget(m_hex);
    modes->addWidget(m_character);
    modes->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_find);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(dataRow);
    layout->addLayout(modes);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_find, &QPushButton::clicked, this, &FindDialog::Press);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FindDialog::Press() {
    const FindMode mode = m_hex->isChecked() ? FindMode::Hex : FindMode::Character;
    if (m_session.Press(m_data->text().toStdString(), mode, m_firstPress) && m_firstPress) {
        m_firstPress = false;
        m_find->setText(QString::fromUtf8(NextCaption));
    }
}

void FindDialog::done(int result) {
    // Escape, the close box and 取消 all end here.
    m_session.DialogClosed();
    QDialog::done(result);
}
