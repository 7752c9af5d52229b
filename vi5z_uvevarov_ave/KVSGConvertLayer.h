// The tag driver: every host channel is bound to a tag of the controller
// program. Defines the device properties and the tag tree, reads the
// configuration blob and rebinds channels at run time.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/DeviceProperty.h"
#include "tags/TagTree.h"
#include "vi5z_uvevarov_ave/ConvertLayer.h"
#include "vi5z_uvevarov_ave/ResultCodes.h"

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

    int _MakeChannel(const std::string& path, CDevRow& row);
    int _SetChlTag(unsigned int start, unsigned int count, int offset, unsigned int which);

    // Read access for tools and tests.
    const std::shared_ptr<DevicePropertyConfigWraper>& Properties() const { return m_pProperty; }
    const std::shared_ptr<TagTree>& Tree() const { return m_pTagTree; }
    const std::shared_ptr<TagIndex>& Index() const { return m_pTagIndex; }
    const CDevTable* Table() const { return m_data.m_pDevData ? m_data.m_pDevData->m_pTable : nullptr; }
    const DEV_DATA* Dev() const { return m_data.m_pDevData; }

    // Inserts the driver's four device properties with their defaults.
    static void DefineProperties(DevicePropertyConfigWraper& properties);

protected:
    void ApplyPropertiesToParams();

    std::shared_ptr<TagTree> m_pTagTree;
    std::shared_ptr<DevicePropertyConfigWraper> m_pProperty;
    std::shared_ptr<TagIndex> m_pTagIndex;
    // The tree the rows' tags live in, while a refused InitDevice has
    // replaced `m_pTagTree` under them.
    std::shared_ptr<TagTree> m_pRowsTree;
    std::map<uint32_t, CDevRow> m_mapChlRow;
    std::vector<int32_t> m_vecHostRef;
};

// The multibyte (GB18030) form under which a device property is registered.
std::string PropertyKey(const char* utf8Name);

} // namespace KVSG
