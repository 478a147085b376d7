#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "platform/DeviceMonitor.h"

class QSocketNotifier;

// Watches the system's device-change notices on the window thread: each event
// the monitor reports is one notice.
class DeviceNoticeWatcher : public QObject {
    Q_OBJECT

public:
    explicit DeviceNoticeWatcher(std::function<void()> onNotice, QObject* parent = nullptr);
    ~DeviceNoticeWatcher() override;

    // False when the system gives no notices (no udev); the program then only
    // detects on start-up and on request.
    bool start();
    bool isActive() const { return m_notifier != nullptr; }

private:
    void drain();

    std::function<void()> m_onNotice;
    DeviceMonitor m_monitor;
    QSocketNotifier* m_notifier = nullptr;
};
