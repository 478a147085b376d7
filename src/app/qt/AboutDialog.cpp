#include "app/qt/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/qt/AppResources.h"

AboutDialog::AboutDialog(const QString& workDirectory, QWidget* parent)
    : QDialog(parent), m_links(new QLabel(this)) {
    setWindowTitle(QString::fromUtf8(Title));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutPicture"));
    const QIcon icon = ResourceIcon(QStringLiteral("about"));
    if (!icon.isNull()) picture->setPixmap(icon.pixmap(64, 64));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* name = new QLabel(QString::fromUtf8(ProductName), this);
    name->setObjectName(QStringLiteral("aboutName"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);

    auto* lines = new QLabel(QStringLiteral("25系列 SPI Flash 芯片编程工具。\n"
                                            "支持擦除、查空、烧录、校验、读出与自动烧录。"),
                             this);
    lines->setObjectName(QStringLiteral("aboutText"));

    const QString manual =
        QUrl::fromLocalFile(workDirectory + QStringLiteral("XJQT_Tarlo Flash编程器用户手册.chm")).toString();
    const QString folder = QUrl::fromLocalFile(workDirectory).toString();
    m_links->setObjectName(QStringLiteral("aboutLinks"));
    m_links->setTextFormat(Qt::RichText);
    m_links->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_links->setOpenExternalLinks(true);
    m_links->setText(QStringLiteral("<a href=\"%1\">用户手册</a><br><a href=\"%2\">工作目录</a>")
                         .arg(manual.toHtmlEscaped(), folder.toHtmlEscaped()));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(lines);
    texts->addWidget(m_links);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
