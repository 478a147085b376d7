#include "app/qt/ApplicationKeyFilter.h"

#include <QApplication>
#include <QKeyEvent>

ApplicationKeyFilter::ApplicationKeyFilter(QWidget* window, Handlers handlers, QObject* parent)
    : QObject(parent), m_window(window), m_handlers(std::move(handlers)) {}

KeyPress ApplicationKeyFilter::Translate(const QKeyEvent& event, bool someWindowHasFocus) {
    KeyPress press;
    press.ctrl = event.modifiers().testFlag(Qt::ControlModifier);
    press.alt = event.modifiers().testFlag(Qt::AltModifier);
    press.someWindowHasFocus = someWindowHasFocus;
    switch (event.key()) {
        case Qt::Key_Escape:
            press.key = FilterKey::Esc;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            press.key = FilterKey::Enter;
            break;
        case Qt::Key_F3:
            press.key = FilterKey::F3;
            break;
        case Qt::Key_F4:
            press.key = FilterKey::F4;
            break;
        case Qt::Key_F5:
            press.key = FilterKey::F5;
            break;
        case Qt::Key_F6:
            press.key = FilterKey::F6;
            break;
        case Qt::Key_F7:
            press.key = FilterKey::F7;
            break;
        case Qt::Key_F8:
            press.key = FilterKey::F8;
            break;
        case Qt::Key_F9:
            press.key = FilterKey::F9;
            break;
        case Qt::Key_O:
            press.key = FilterKey::O;
            break;
        case Qt::Key_S:
            press.key = FilterKey::S;
            break;
        default:
            press.key = FilterKey::Other;
            break;
    }
    return press;
}

bool ApplicationKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !m_window) return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (target == nullptr || target->window() != m_window) return false;

    const auto& key = static_cast<const QKeyEvent&>(*event);
    const KeyAction action = FilterKeyPress(Translate(key, QApplication::focusWidget() != nullptr),
                                            [this](int id) { return m_handlers.isEnabled(id); });
    switch (action.kind) {
        case KeyAction::Kind::PassOn:
            return false;
        case KeyAction::Kind::Swallow:
            return true;
        case KeyAction::Kind::SendCommand:
            m_handlers.sendCommand(action.command);
            return true;
        case KeyAction::Kind::CommitCellEdit:
            m_handlers.commitCellEdit();
            return true;
        case KeyAction::Kind::CloseRequest:
            // The window's close event decides, as for the title bar's close button.
            m_window->close();
            return true;
    }
    return false;
}
