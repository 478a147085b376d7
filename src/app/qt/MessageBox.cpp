#include "app/qt/MessageBox.h"

#include <QMessageBox>
#include <QMutex>
#include <QMutexLocker>

#include <deque>

namespace {

struct TestHook {
    QMutex mutex;
    bool testMode = false;
    std::deque<MessageAnswer> answers;
    QList<MessageBox::Request> requests;
};

TestHook& Hook() {
    static TestHook hook;
    return hook;
}

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::None:
            return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MessageAnswer MessageBox::closeAnswer(MessageButtons buttons) {
    return ClosedBoxAnswer(buttons);
}

MessageAnswer MessageBox::show(QWidget* parent, const QString& text, const QString& title, MessageIcon icon,
                               MessageButtons buttons) {
    {
        TestHook& hook = Hook();
        QMutexLocker lock(&hook.mutex);
        if (hook.testMode) {
            hook.requests.append(Request{text, title, icon, buttons});
            if (hook.answers.empty()) return closeAnswer(buttons);
            const MessageAnswer answer = hook.answers.front();
            hook.answers.pop_front();
            return answer;
        }
    }

    // The texts carry the CR LF pairs of their original platform.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(ToQtIcon(icon), title, shown, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        default:
            return closeAnswer(buttons);
    }
}

void MessageBox::setTestMode(bool on) {
    TestHook& hook = Hook();
    QMutexLocker lock(&hook.mutex);
    hook.testMode = on;
    hook.answers.clear();
    hook.requests.clear();
}

void MessageBox::setNextAnswer(MessageAnswer answer) {
    TestHook& hook = Hook();
    QMutexLocker lock(&hook.mutex);
    hook.answers.push_back(answer);
}

QList<MessageBox::Request> MessageBox::requests() {
    TestHook& hook = Hook();
    QMutexLocker lock(&hook.mutex);
    return hook.requests;
}

void MessageBox::clearRequests() {
    TestHook& hook = Hook();
    QMutexLocker lock(&hook.mutex);
    hook.requests.clear();
}
