#pragma once

#include <string>

#include "RecordingPorts.h"
#include "device/CheckObserver.h"
#include "device/ChipIdentityText.h"

// check-start  check-row:ROW  check-identity:JEDEC (or none)  check-end:STATE
class RecordingCheckObserver : public CheckObserver {
public:
    explicit RecordingCheckObserver(EventLog& log) : m_log(log) {}
    void CheckStarting() override { m_log.Add("check-start"); }
    void ModelRowSelected(int row) override { m_log.Add("check-row:" + std::to_string(row)); }
    void IdentityFound(const std::optional<VelmorChipIdentity>& identity) override {
        m_log.Add("check-identity:" + (identity ? JedecText(identity->jedec_id) : std::string("none")));
    }
    void CheckEnded(int state) override { m_log.Add("check-end:" + std::to_string(state)); }

private:
    EventLog& m_log;
};
