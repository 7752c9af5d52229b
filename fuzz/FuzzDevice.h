// A tag driver over the controller model with a small configuration, as
// the fuzz targets drive it.
#pragma once

#include <memory>
#include <string>

#include "host/Logger.h"
#include "host/ZoltTools.h"
#include "sim/ModelComm.h"
#include "sim/SinkValueStore.h"
#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

namespace fuzzing {

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
    sim::SinkValueStore store;
    KVSG::KVSGConvertLayer driver{"PLC1", &store};
};

} // namespace fuzzing
