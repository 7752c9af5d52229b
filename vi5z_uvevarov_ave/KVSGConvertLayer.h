// The tag driver: every host channel is bound to a tag of the controller
// program. Defines the device properties and the tag tree, reads the
// configuration blob and rebinds channels at run time.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "vi5z_uvevarov_ave/ConvertLayer.h"

namespace KVSG {

class KVSGConvertLayer : public ConvertLayer {
public:
    using ConvertLayer::ConvertLayer;
    ~KVSGConvertLayer() override = default;

    int InitDevice(const unsigned char* data, int length) override;
    int DevIOCtrl(const char* command) override;
    int ChannelRefChange(const int* flags, int count) override;
    int SetChannelAddress(int channel, int value) override;
    int _Deserialize(const unsigned char* data, unsigned int length) override;

protected:
    std::vector<int32_t> m_vecHostRef;
};

} // namespace KVSG
