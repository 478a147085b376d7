#include "app/qt/ChangeLogViewer.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "image/ChangeLogView.h"

ChangeLogViewer::ChangeLogViewer(const QString& path, Opener opener, QWidget* parent)
    : QDialog(parent),
      m_path(path),
      m_opener(std::move(opener)),
      m_text(new QPlainTextEdit(this)),
      m_note(new QLabel(this)) {
    setWindowTitle(QStringLiteral("修改记录"));
    setWindowFlags(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies(
        {font.family(), QStringLiteral("WenQuanYi Micro Hei Mono"), QStringLiteral("WenQuanYi Micro Hei")});
    m_text->setFont(font);

    auto* reloadButton = new QPushButton(QStringLiteral("刷新"), this);
    auto* editor = new QPushButton(QStringLiteral("用编辑器打开"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(reloadButton, &QPushButton::clicked, this, &ChangeLogViewer::reload);
    connect(editor, &QPushButton::clicked, this, [this] {
        if (!m_opener(m_path)) m_note->setText(QStringLiteral("没有可以打开文本文件的编辑器。"));
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_note, 1);
    buttons->addWidget(reloadButton);
    buttons->addWidget(editor);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(720, 520);
    reload();
}

void ChangeLogViewer::reload() {
    const ChangeLogView view = ReadChangeLogView(m_path.toStdString(), kChangeLogViewLimit);
    m_text->setPlainText(QString::fromStdString(view.text));
    switch (view.outcome) {
        case ChangeLogView::Outcome::Read:
            m_note->setText(view.cut ? QStringLiteral("记录很长，只显示最后的部分。") : QString());
            break;
        case ChangeLogView::Outcome::Missing:
            m_note->setText(QStringLiteral("文件被破坏，未发现文件！"));
            break;
        case ChangeLogView::Outcome::Unreadable:
            m_note->setText(QStringLiteral("无法读取修改记录。"));
            break;
    }
    // The newest blocks are at the end.
    m_text->verticalScrollBar()->setValue(m_text->verticalScrollBar()->maximum());
}
