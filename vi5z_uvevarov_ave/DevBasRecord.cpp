// Life cycle of the device data record and the legacy configuration load.
#include <memory>

#include "convert/StringToNumber.h"
#include "vi5z_uvevarov_ave/DevBas.h"

namespace {

// Reads `count` values into the array. Values past the end of the archive
// keep what the array held; the array grows only by the values the
// remaining bytes can supply, so a count of billions allocates nothing.
void ReadValues(COwnerArchive& archive, unsigned count, CArray<unsigned int, unsigned int>& values)
{
    const unsigned readable = static_cast<unsigned>(archive.Remaining() / 4);
    const unsigned kept = count < readable ? count : readable;
    values.SetSize(static_cast<int>(kept));
    for (unsigned i = 0; i < kept; ++i) archive >> values[static_cast<int>(i)];
}

// A count, then that many values.
void ReadValueArray(COwnerArchive& archive, CArray<unsigned int, unsigned int>& values)
{
    unsigned count = 0;
    archive >> count;
    ReadValues(archive, count, values);
}

} // namespace

void CDevBas::mfDefaultTypeLimits(DEV_DATA& dev)
{
    dev.m_arTypeLimit.SetSize(REGISTER_TYPE_COUNT);
    for (int type = 0; type < REGISTER_TYPE_COUNT; ++type) {
        unsigned limit = 0;
        cstringToNumeric(CHLTYPE_STR_EDIT3[type], "%d", &limit);
        dev.m_arTypeLimit[type] = limit;
    }
}

void CDevBas::mfCheckDevDataInit(ZOLT_DATA& data)
{
    if (data.m_pDevData) return;
    // Built whole before it is published: memory running out half-way
    // leaves no record without its table behind.
    std::unique_ptr<DEV_DATA> record(new DEV_DATA());
    std::unique_ptr<CDevTable> table(new CDevTable());
    DEV_DATA* dev = record.get();
    dev->m_arDevParam.SetSize(4);
    dev->m_arDevParam[PARAM_WAITTIME] = 200;
    dev->m_arDevParam[PARAM_BLOCKMETHOD] = 0;
    dev->m_arDevParam[PARAM_ENCODING] = 0;
    dev->m_arDevParam[PARAM_DECODEORDER] = 1;
    dev->m_arLegacy2.SetSize(0);
    dev->m_arLegacy3.SetSize(0);
    dev->m_dwLegacyWord = 0;
    mfDefaultTypeLimits(*dev);
    dev->m_pTable = table.release();
    data.m_pDevData = record.release();

    COwnerArchive* archive = data.m_pArchive;
    if (!archive || archive->GetSize() == 0) return;
    archive->SvrChangeMode(COwnerArchive::ARCHIVE_LOAD);
    if (archive->GetNowVersion() < 20001) mfDeserializeFromOld(data);
}

void CDevBas::mfDeserializeFromOld(ZOLT_DATA& data)
{
    DEV_DATA* dev = data.m_pDevData;
    COwnerArchive* archive = data.m_pArchive;
    if (!dev || !archive) return;

    // The blob sits in a zero-padded buffer: reads past its data find zeros,
    // reads past the buffer leave their targets as they were.
    unsigned stored = 0;
    *archive >> stored;
    if (stored == 3 || stored == 7 || stored == 10) {
        // Older layouts: the defaults stay, a 3-value layout clears the last.
        for (unsigned i = 0; i < stored; ++i) {
            unsigned discarded = 0;
            *archive >> discarded;
        }
        if (stored == 3) dev->m_arDevParam[PARAM_DECODEORDER] = 0;
    } else {
        ReadValues(*archive, stored, dev->m_arDevParam);
        if (dev->m_arDevParam.GetSize() < 4) dev->m_arDevParam.SetSize(4);
    }
    ReadValueArray(*archive, dev->m_arLegacy2);
    ReadValueArray(*archive, dev->m_arLegacy3);
    *archive >> dev->m_dwLegacyWord;
    dev->m_pTable->Deserialize(*archive);

    if (archive->AtEnd()) {
        mfDefaultTypeLimits(*dev);
        return;
    }
    dev->m_arTypeLimit.SetSize(REGISTER_TYPE_COUNT);
    for (int type = 0; type < REGISTER_TYPE_COUNT; ++type) *archive >> dev->m_arTypeLimit[type];
}

int CDevBas::mfDeleteMydata(ZOLT_DATA& data, DEV_DATA* copyTarget)
{
    DEV_DATA* dev = data.m_pDevData;
    if (!dev) return 1;
    if (copyTarget) {
        copyTarget->m_fPlanScale = dev->m_fPlanScale;
        copyTarget->m_nPlanReserved = dev->m_nPlanReserved;
        copyTarget->m_nPlanTwenty = dev->m_nPlanTwenty;
        copyTarget->m_fPlanTwenty = dev->m_fPlanTwenty;
        copyTarget->m_nReadCap = dev->m_nReadCap;
        copyTarget->m_nMixedMin = dev->m_nMixedMin;
        copyTarget->m_nMixedMax = dev->m_nMixedMax;
        copyTarget->m_nCopyWord1 = dev->m_nCopyWord1;
        copyTarget->m_nWriteReserved = dev->m_nWriteReserved;
        copyTarget->m_nLastWordImage = dev->m_nLastWordImage;
        copyTarget->m_nLastWriteTime = dev->m_nLastWriteTime;
        copyTarget->m_nCopyWord4 = dev->m_nCopyWord4;
    }
    dev->m_arDevParam.SetSize(0);
    dev->m_arLegacy2.SetSize(0);
    dev->m_arLegacy3.SetSize(0);
    dev->m_arBlock.SetSize(0);
    dev->m_arTypeLimit.SetSize(0);
    delete dev->m_pTable;
    dev->m_pTable = nullptr;
    delete dev;
    data.m_pDevData = nullptr;
    return 1;
}
