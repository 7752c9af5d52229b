#include "DevRtdb.h"

namespace {
constexpr int kDisabled = static_cast<int>(0x80000002u);
// Without a value store behind the accessor nothing can be delivered.
constexpr int kNoStore = static_cast<int>(0x80000000u);
} // namespace

template <class Call>
int CDevRtdb::Forward(Call call)
{
    if (m_nVersion <= 0) return kDisabled;
    if (!m_pHost) return kNoStore;
    return call(*m_pHost);
}

int CDevRtdb::GetValueTypeByName(const char* n, DATATYPE& t)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.GetValueTypeByName(n, t); });
}
int CDevRtdb::GetValueByName(const char* n, int& v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.GetValueByName(n, v); });
}
int CDevRtdb::GetValueByName(const char* n, double& v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.GetValueByName(n, v); });
}
int CDevRtdb::GetValueByName(const char* n, std::string& v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.GetValueByName(n, v); });
}
int CDevRtdb::SetValueByName(const char* n, int v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.SetValueByName(n, v); });
}
int CDevRtdb::SetValueByName(const char* n, double v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.SetValueByName(n, v); });
}
int CDevRtdb::SetValueByName(const char* n, std::string& v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.SetValueByName(n, v); });
}
int CDevRtdb::GetValueTypeByChannel(int c, DATATYPE& t)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.GetValueTypeByChannel(c, t); });
}
int CDevRtdb::GetValueByChannel(int c, int& v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.GetValueByChannel(c, v); });
}
int CDevRtdb::GetValueByChannel(int c, double& v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.GetValueByChannel(c, v); });
}
int CDevRtdb::GetValueByChannel(int c, std::string& v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.GetValueByChannel(c, v); });
}
int CDevRtdb::SetValueByChannel(int c, int v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.SetValueByChannel(c, v); });
}
int CDevRtdb::SetValueByChannel(int c, double v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.SetValueByChannel(c, v); });
}
int CDevRtdb::SetValueByChannel(int c, std::string& v)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.SetValueByChannel(c, v); });
}
int CDevRtdb::GetValueIDByChannel(int c, int& id)
{
    return Forward([&](IDevRtdbCtrl& h) { return h.GetValueIDByChannel(c, id); });
}
