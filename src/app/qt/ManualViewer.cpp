#include "app/qt/ManualViewer.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

ManualViewer::ManualViewer(QWidget* parent) : QDialog(parent), m_browser(new QTextBrowser(this)) {
    setWindowTitle(QStringLiteral("XJQT_Tarlo Flash编程器用户手册"));
    // A window of its own beside the main window, not a modal box over it.
    setWindowFlags(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser->setOpenExternalLinks(true);

    auto* back = new QPushButton(QStringLiteral("后退"), this);
    auto* forward = new QPushButton(QStringLiteral("前进"), this);
    auto* home = new QPushButton(QStringLiteral("目录"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(home, &QPushButton::clicked, m_browser, &QTextBrowser::home);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(home);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
    resize(760, 600);
}

void ManualViewer::showManual(const QString& indexPath) {
    m_browser->setSource(QUrl::fromLocalFile(indexPath));
}
