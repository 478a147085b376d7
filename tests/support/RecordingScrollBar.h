#pragma once

#include <string>

#include "hexview/ScrollBarPort.h"
#include "support/RecordingPorts.h"

// scroll-range:MAX|0/1  scroll-pos:POS  scroll-focus
class RecordingScrollBar : public ScrollBarPort {
public:
    explicit RecordingScrollBar(EventLog& log) : m_log(log) {}
    void SetRange(int maximum, bool enabled) override {
        m_maximum = maximum;
        m_enabled = enabled;
        m_position = 0;
        m_log.Add("scroll-range:" + std::to_string(maximum) + "|" + (enabled ? "1" : "0"));
    }
    void SetPosition(int position) override {
        m_position = position;
        m_log.Add("scroll-pos:" + std::to_string(position));
    }
    void TakeFocus() override { m_log.Add("scroll-focus"); }

    int maximum() const { return m_maximum; }
    bool enabled() const { return m_enabled; }
    int position() const { return m_position; }

private:
    EventLog& m_log;
    int m_maximum = -1;
    bool m_enabled = false;
    int m_position = -1;
};
