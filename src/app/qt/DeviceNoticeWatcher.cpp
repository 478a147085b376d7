#include "app/qt/DeviceNoticeWatcher.h"

#include <QSocketNotifier>

DeviceNoticeWatcher::DeviceNoticeWatcher(std::function<void()> onNotice, QObject* parent)
    : QObject(parent), m_onNotice(std::move(onNotice)) {}

DeviceNoticeWatcher::~DeviceNoticeWatcher() {
    delete m_notifier;
    m_monitor.Stop();
}

bool DeviceNoticeWatcher::start() {
    if (m_notifier != nullptr) return true;
    if (!m_monitor.Start() || m_monitor.Descriptor() < 0) return false;
    m_notifier = new QSocketNotifier(m_monitor.Descriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DeviceNoticeWatcher::drain);
    return true;
}

void DeviceNoticeWatcher::drain() {
    const int notices = m_monitor.Drain();
    for (int i = 0; i < notices; ++i) m_onNotice();
}
