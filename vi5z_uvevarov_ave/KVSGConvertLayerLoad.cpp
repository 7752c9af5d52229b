// Tag layer: the configuration load that binds every host channel to a
// tag, and the making of one channel row from a tag.

#include "config/ChannelGeneration.h"
#include "config/ConfigBlob.h"
#include "config/SectionedConfig.h"
#include "host/Logger.h"
#include "host/ZoltTools.h"
#include "tags/TreeSerialize.h"
#include "vi5z_uvevarov_ave/ResultCodes.h"
#include "vi5z_uvevarov_ave/DevBas.h"
#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

namespace KVSG {

namespace {

constexpr unsigned kStringDoubledType = 11;

int DataTypeOption(const KVSGVariable& tag)
{
    const unsigned type = tag.m_registerType;
    const bool wide = SELECT2_DWORD_PROPERTYNUM[type] == 36;
    const int t = tag.DEV_ZOLT_getDataType();
    if (t == 0) return tag.m_bit <= (wide ? 31u : 15u) ? static_cast<int>(tag.m_bit) : 0;
    for (int i = 0; i < CONVERT_DATATYPE_COUNT; ++i) {
        if (CONVERT_DATATYPE_ARRAY[i] == t) return CONVERT_DATATYPE_OPTION[i] + (wide ? 28 : 15);
    }
    return wide ? 27 : 14;
}

} // namespace

int KVSGConvertLayer::_MakeChannel(const std::string& path, CDevRow& row)
{
    if (!m_pTagIndex) return MAKECHANNEL_NO_TAG;
    const TagTree* found = m_pTagIndex->find(path);
    if (!found) return MAKECHANNEL_NO_TAG;
    const KVSGVariable& tag = found->label();
    if (!IsRegisterType(tag.m_registerType)) return MAKECHANNEL_NO_TAG;
    SChlInfo info;
    info.m_nFirst = 0;
    info.m_nRegType = static_cast<int>(tag.m_registerType);
    info.m_nDataOption = DataTypeOption(tag);
    // The request's length is a signed 32-bit field: a stored length that
    // reads as negative gets the generator's default string length.
    const uint32_t length = tag.m_storedType == kStringDoubledType ? 2u * tag.m_length : tag.m_length;
    info.m_nLength = static_cast<int>(length);
    info.m_strAddress.Format("%u", tag.m_address);
    info.m_nCount = 1;
    info.m_nRWFlag = 2;
    CArray<CDevRow, CDevRow&> rows;
    if (CDevBas::mfMakeDevRowsFromSChlInfo(info, rows) == 0 || rows.GetSize() == 0) return MAKECHANNEL_NO_TAG;
    row = std::move(rows[0]);
    row.m_pTag = &tag;
    return 0;
}

void KVSGConvertLayer::ApplyPropertiesToParams()
{
    DEV_DATA* dev = m_data.m_pDevData;
    if (!dev || !m_pProperty) return;
    if (dev->m_arDevParam.GetSize() < 4) dev->m_arDevParam.SetSize(4);
    for (int i = 0; i < 4; ++i) {
        auto property = m_pProperty->getPropertyFromName(PropertyKey(DEV_STR_PROPERTYNAME[i]).c_str());
        if (!property) continue;
        if (i == 0)
            dev->m_arDevParam[0] = static_cast<unsigned>(property->GetProValueInt());
        else
            dev->m_arDevParam[i] = property->GetProValueStr() == DEV_STR_PROPERTLIST[2 * (i - 1)] ? 0u : 1u;
    }
}

int KVSGConvertLayer::_Deserialize(const unsigned char* data, unsigned int size)
{
    if (size == 0 || !data) return LOAD_REFUSED;
    const uint64_t start = Zolt_GetTickCount();
    ConfigBlobView blob;
    if (!ReadConfigBlob(data, size, blob)) return LOAD_REFUSED;

    DevDeserialize container;
    container.open(blob.container, blob.containerSize);
    utils::MemoryBuffer propertySection;
    if (container.readSection(SECTION_PROPERTIES, propertySection))
        DevicePropertySerilize(propertySection.bytes()).toDeviceProperty(m_pProperty);
    // Read in place: the container outlives the tree's reading.
    utils::memoryRef treeSection = container.viewSection(SECTION_TAGTREE);
    if (treeSection.size() == 0) return LOAD_REFUSED;

    // Leaves are indexed as they are read, while their nodes are still in
    // the cache.
    auto index = std::make_shared<TagIndex>();
    std::unique_ptr<TagTree> root = TreeSerialize::ReadTree(treeSection, [&index](const TagTree* leaf) { IndexLeaf(*index, leaf); });
    if (!root) return LOAD_REFUSED;
    m_pTagIndex = index;
    m_pTagTree = std::move(root);

    ApplyPropertiesToParams();
    logger_printf(3, "_Deserialize", "../../../run/vi5z_uvevarov_ave/vi5z_uvevarov_ave/KVSGConvertLayer", 321, 0, 3, "InitDevice",
                  "Init Tree and Porperty spend time = %ld", static_cast<long>(Zolt_GetTickCount() - start));

    // InitDevice has dropped the rows and bindings of any earlier load.
    const std::vector<std::string> paths = ReadChannelPaths(blob);
    CDevTable& table = *m_data.m_pDevData->m_pTable;
    // Each lookup would wait for its tag's node on a large tree: the tags of
    // later channels are fetched while this one's row is made.
    constexpr size_t kLookAhead = 8;
    for (size_t host = 0; host < paths.size(); ++host) {
        if (host + kLookAhead < paths.size()) m_pTagIndex->Prefetch(paths[host + kLookAhead]);
        CDevRow row;
        if (_MakeChannel(paths[host], row) != 0) continue;
        row.m_nHostOrder = static_cast<uint32_t>(host);
        table.Insert(std::move(row));
    }
    table.BuildRowMap();

    // Every host channel keeps its own position: one that got no row (its
    // tag missing, or its row equal to an earlier one) holds NO_ROW, so no
    // later channel slides onto another channel's row.
    const size_t rows = static_cast<size_t>(table.GetRowCount());
    m_vecHostToRow.assign(paths.size(), NO_ROW);
    m_vecRowToHost.assign(rows, NO_HOST);
    for (size_t k = 0; k < rows; ++k) {
        // The rows were last touched in another order: fetch ahead.
        if (k + kLookAhead < rows) __builtin_prefetch(&table.Row(static_cast<unsigned>(k + kLookAhead))->m_nHostOrder);
        const uint32_t host = table.Row(static_cast<unsigned>(k))->m_nHostOrder;
        m_vecRowToHost[k] = host;
        if (host < m_vecHostToRow.size()) m_vecHostToRow[host] = static_cast<uint32_t>(k);
    }
    return 0;
}

} // namespace KVSG
