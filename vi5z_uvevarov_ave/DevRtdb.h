// The driver's accessor to the host's value store: forwards every call
// while the host's announced interface version is 1 or more.
#pragma once

#include "host/IDevRtdbCtrl.h"

class CDevRtdb : public IDevRtdbCtrl {
public:
    CDevRtdb(int version, IDevRtdbCtrl* host) : m_nVersion(version), m_pHost(host) {}

    void SetVersion(int version) { m_nVersion = version; }
    int GetVersion() const { return m_nVersion; }

    int GetValueTypeByName(const char* name, DATATYPE& type) override;
    int GetValueByName(const char* name, int& value) override;
    int GetValueByName(const char* name, double& value) override;
    int GetValueByName(const char* name, std::string& value) override;
    int SetValueByName(const char* name, int value) override;
    int SetValueByName(const char* name, double value) override;
    int SetValueByName(const char* name, std::string& value) override;
    int GetValueTypeByChannel(int channel, DATATYPE& type) override;
    int GetValueByChannel(int channel, int& value) override;
    int GetValueByChannel(int channel, double& value) override;
    int GetValueByChannel(int channel, std::string& value) override;
    int SetValueByChannel(int channel, int value) override;
    int SetValueByChannel(int channel, double value) override;
    int SetValueByChannel(int channel, std::string& value) override;
    int GetValueIDByChannel(int channel, int& id) override;

private:
    template <class Call>
    int Forward(Call call);

    int m_nVersion;
    IDevRtdbCtrl* m_pHost;
};
