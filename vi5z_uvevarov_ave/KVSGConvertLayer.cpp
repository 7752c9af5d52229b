// Tag layer: initialisation with the device properties, the "SetChlTag"
// control command and the redirection of address changes to rebinding.
#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

#include <cstring>

#include "config/DevTables.h"
#include "host/Logger.h"
#include "host/ZoltTools.h"
#include "vi5z_uvevarov_ave/ControlString.h"
#include "vi5z_uvevarov_ave/DevServer.h"

namespace KVSG {

namespace {
constexpr const char* kSourceFile = "../../../run/vi5z_uvevarov_ave/vi5z_uvevarov_ave/KVSGConvertLayer";
constexpr int kSetChlTagArguments = 5;
constexpr int kWrongArgumentCount = 5;
} // namespace

std::string PropertyKey(const char* utf8Name)
{
    char in[100] = {0};
    const size_t length = std::strlen(utf8Name);
    if (length + 2 > sizeof in) return utf8Name;
    std::memcpy(in, utf8Name, length); // NOLINT(bugprone-not-null-terminated-result): `in` is zero-filled
    char out[100] = {0};
    int left = sizeof out;
    CDevServer::Utf8ToGbk(in, static_cast<int>(length) + 2, out, left);
    out[sizeof out - 1] = '\0';
    return out;
}

void KVSGConvertLayer::DefineProperties(DevicePropertyConfigWraper& properties)
{
    using Device::EnumPropertyConfig;
    using Device::GeneralPropertyConfig;
    using Device::IPropertyConfig;
    auto wait = std::make_shared<GeneralPropertyConfig<unsigned int>>(PropertyKey(DEV_STR_PROPERTYNAME[0]), IPropertyConfig::STATE_NORMAL,
                                                                      200u, 1u, 0xFFFFFFFFu);
    properties.insert(PROPERTY_VERSION, std::make_shared<PropertyWraper<unsigned int>>(wait));
    for (int i = 1; i < 4; ++i) {
        auto options = std::make_shared<EnumPropertyConfig>(PropertyKey(DEV_STR_PROPERTYNAME[i]), IPropertyConfig::STATE_NORMAL, 0u);
        options->AddOption(DEV_STR_PROPERTLIST[2 * (i - 1)]);
        options->AddOption(DEV_STR_PROPERTLIST[2 * (i - 1) + 1]);
        properties.insert(PROPERTY_VERSION, std::make_shared<PropertyWraper<EnumPropertyConfig>>(options));
    }
}

int KVSGConvertLayer::InitDevice(const unsigned char* data, int length)
{
    const uint64_t start = Zolt_GetTickCount();
    if (data && length > 0) {
        // A new load starts without the rows of the last one, whether or
        // not it succeeds.
        if (DEV_DATA* dev = m_data.m_pDevData) {
            dev->m_pTable->Clear();
            dev->m_arBlock.SetSize(0);
            dev->m_nRankNum = 0;
        }
        m_vecHostToRow.clear();
        m_vecRowToHost.clear();
        m_mapChlRow.clear();
        m_pRowsTree.reset();
    } else if (!m_pRowsTree) {
        // A refused call leaves the device as it was, but for the tree it
        // replaces: the rows' tags live in the old one, which stays with them.
        m_pRowsTree = m_pTagTree;
    }
    m_pProperty = std::make_shared<DevicePropertyConfigWraper>();
    // The index views the tree's paths: it goes first.
    m_pTagIndex = std::make_shared<TagIndex>();
    m_pTagTree = std::make_shared<TagTree>();
    DefineProperties(*m_pProperty);
    const int result = ConvertLayer::InitDevice(data, length);
    logger_printf(3, "InitDevice", kSourceFile, 150, 0, 3, "InitDevice", "InitDevice Spend Time = %ld",
                  static_cast<long>(Zolt_GetTickCount() - start));
    return result;
}

int KVSGConvertLayer::DevIOCtrl(const char* command)
{
    if (!command) return DEVCTRL_BAD_ARGUMENT;
    ControlString parts;
    if (!SplitControlString(command, parts)) return DEVCTRL_NO_PARENTHESES;
    if (parts.word.CompareNoCase("SetChlTag") != 0) return ConvertLayer::DevIOCtrl(command);

    std::vector<CString> pieces = SplitArguments(parts.arguments);
    if (pieces.size() != kSetChlTagArguments) return kWrongArgumentCount;
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
        pieces[static_cast<size_t>(i)].Trim();
        double value = 0.0;
        CDevServer::SvrGetParaValue(m_data, pieces[static_cast<size_t>(i)], value);
        numbers[i] = CDevServer::Double2Int(value);
    }
    const int result =
        _SetChlTag(static_cast<unsigned>(numbers[0]), static_cast<unsigned>(numbers[1]), numbers[2], static_cast<unsigned>(numbers[3]));
    if (result == 0) {
        const std::vector<int32_t> replay = m_vecHostRef;
        ConvertLayer::ChannelRefChange(replay.empty() ? nullptr : replay.data(), static_cast<int>(replay.size()));
    }
    CString target = pieces[4];
    target.Trim();
    double reported = result;
    CDevServer::SvrSetParaValue(m_data, target, reported);
    return result;
}

int KVSGConvertLayer::ChannelRefChange(const int* flags, int count)
{
    if (!flags && count != 0) return DEVCTRL_BAD_ARGUMENT;
    m_vecHostRef.assign(flags, flags + (count > 0 ? count : 0));
    return ConvertLayer::ChannelRefChange(flags, count);
}

int KVSGConvertLayer::SetChannelAddress(int channel, int value) { return _SetChlTag(static_cast<unsigned>(channel) + 1, 1, value, 0); }

} // namespace KVSG
