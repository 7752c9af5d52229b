// A tag driver over the controller model with a small configuration, as
// the fuzz targets drive it.
#pragma once

#include <memory>
#include <string>

#include "host/Logger.h"
#include "host/ZoltTools.h"
#include "sim/ModelComm.h"
#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

namespace fuzzing {

// A value store whose every name is a double variable.
class AnyVariableStore : public IDevRtdbCtrl {
public:
    int GetValueTypeByName(const char* name, DATATYPE& type) override { return type = name[0] == 's' ? DATATYPE_STRING : DATATYPE_DOUBLE, 0; }
    int GetValueByName(const char*, int& v) override { return v = 3, 0; }
    int GetValueByName(const char*, double& v) override { return v = 2.5, 0; }
    int GetValueByName(const char*, std::string& v) override { return v = "1,2,3", 0; }
    int SetValueByName(const char*, int) override { return 0; }
    int SetValueByName(const char*, double) override { return 0; }
    int SetValueByName(const char*, std::string&) override { return 0; }
    int GetValueTypeByChannel(int, DATATYPE& t) override { return t = DATATYPE_DOUBLE, 0; }
    int GetValueByChannel(int, int&) override { return -1; }
    int GetValueByChannel(int, double&) override { return -1; }
    int GetValueByChannel(int, std::string&) override { return -1; }
    int SetValueByChannel(int, int) override { return 0; }
    int SetValueByChannel(int, double) override { return 0; }
    int SetValueByChannel(int, std::string&) override { return 0; }
    int GetValueIDByChannel(int, int&) override { return 0; }
};

struct Device {
    Device()
    {
        zolt_log::SetSink(nullptr);
        zolt_clock::UseVirtualClock(true);
        driver.UpdataCommunication(&comm);
    }
    sim::DeviceMemory memory;
    sim::SlmpHandler handler{memory};
    sim::ModelComm comm{handler};
    AnyVariableStore store;
    KVSG::KVSGConvertLayer driver{"PLC1", &store};
};

} // namespace fuzzing
