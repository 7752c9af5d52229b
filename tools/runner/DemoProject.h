// A small plant configuration built with the driver's writers, and the
// simulator memory that goes with it.
#pragma once

#include <string>
#include <vector>

#include "host/IDevRtdbCtrl.h"
#include "sim/DeviceMemory.h"

struct DemoChannel {
    std::string path;
    DATATYPE type;
};

struct DemoProject {
    std::vector<unsigned char> blob;
    std::vector<DemoChannel> channels;
};

DemoProject MakeDemoProject();
void FillDemoMemory(sim::DeviceMemory& memory);
