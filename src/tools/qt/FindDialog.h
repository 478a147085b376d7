#pragma once

#include <QDialog>

class FindSession;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "数据查找": the data to find, hex or character mode, and the button that reads
// "确定" until the first search starts and "下一个" after. Modal; closing it
// (取消, Escape, close box) stops a search that waits at a hit.
class FindDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* Title = "数据查找";
    static constexpr const char* FirstCaption = "确定";
    static constexpr const char* NextCaption = "下一个";

    explicit FindDialog(FindSession& session, QWidget* parent = nullptr);

    QLineEdit* dataEdit() const { return m_data; }
    QRadioButton* hexMode() const { return m_hex; }
    QRadioButton* characterMode() const { return m_character; }
    QPushButton* findButton() const { return m_find; }

    void done(int result) override;

private:
    void Press();

    FindSession& m_session;
    QLineEdit* m_data;
    QRadioButton* m_hex;
    QRadioButton* m_character;
    QPushButton* m_find;
    bool m_firstPress = true;
};
