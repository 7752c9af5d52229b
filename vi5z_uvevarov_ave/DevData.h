// The per-device state record ZOLT_DATA and the device data record
// DEV_DATA it owns, with the planned read block.
#pragma once

#include <cstdint>

#include "config/DevTable.h"
#include "config/OwnerArchive.h"
#include "host/ICommunication.h"
#include "host/IDevRtdbCtrl.h"
#include "host/afx.h"
#include "protocol/ExchangeScratch.h"

struct DynBlock {
    int32_t m_nFirstRow = 0;
    int32_t m_nLastRow = 0;
    int32_t m_nRegType = 0;
    int32_t m_nLength = 0;
    int32_t m_nRank = 0;
    int32_t m_nLinkFlag = 0;
    int32_t m_nSpare = 0;
};

// Link flags of a planned block.
constexpr int32_t BLOCK_LINKABLE = 1;
constexpr int32_t BLOCK_GAP_TOO_LARGE = 4;
constexpr int32_t BLOCK_ALONE = 6;

// Indices of m_arDevParam.
enum DevParam : int { PARAM_WAITTIME = 0, PARAM_BLOCKMETHOD = 1, PARAM_ENCODING = 2, PARAM_DECODEORDER = 3 };

struct DEV_DATA {
    CArray<unsigned int, unsigned int> m_arDevParam;
    CDevTable* m_pTable = nullptr;
    CArray<unsigned int, unsigned int> m_arLegacy2;
    CArray<unsigned int, unsigned int> m_arLegacy3;
    uint32_t m_dwLegacyWord = 0;
    int32_t m_nReadRank = -1;
    int32_t m_nReadBlock = 0;
    CArray<unsigned int, unsigned int> m_arTypeLimit;
    float m_fPlanScale = 1.0f;
    int32_t m_nPlanReserved = 0;
    int32_t m_nPlanTwenty = 20;
    float m_fPlanTwenty = 20.0f;
    // Points one read may cover whatever the type's limit: 115 words answer
    // in 241 bytes, half a receive chunk.
    int32_t m_nReadCap = 115;
    int32_t m_nMixedMin = 46;
    int32_t m_nMixedMax = 126;
    int32_t m_nPlannedLength = 0;
    int32_t m_nMixedCount = 0;
    int32_t m_nRankNum = 0;
    int32_t m_nCopyWord1 = 0;
    int32_t m_nCopyWord2 = 0;
    CString m_strName;
    CArray<DynBlock, DynBlock&> m_arBlock;
    int32_t m_nWriteReserved = -1;
    int32_t m_nLastWordImage = -1;
    int32_t m_nLastWriteTime = 0;
    double m_dSpare = -1.0;
    int32_t m_nCopyWord3 = 0;
    int32_t m_nCopyWord4 = 0;
    ExchangeScratch m_exchange;

    unsigned WaitTime() const { return Param(PARAM_WAITTIME, 200); }
    unsigned Param(int index, unsigned fallback) const { return index < m_arDevParam.GetSize() ? m_arDevParam[index] : fallback; }
};

struct ZOLT_DATA;
using SetParamValueFn = int (*)(ZOLT_DATA& data, CString name, DATATYPE type, void* value);
using GetParamValueFn = int (*)(ZOLT_DATA& data, CString name, DATATYPE type, void* value);
using GetParamTypeFn = int (*)(ZOLT_DATA& data, CString name, DATATYPE& type);

struct ZOLT_DATA {
    CString m_strDevName;
    COwnerArchive* m_pArchive = nullptr;
    DEV_DATA* m_pDevData = nullptr;
    int32_t m_nLinkKind = 0;
    ICommunication* m_pComm = nullptr;
    IDevRtdbCtrl* m_pRtdb = nullptr;
    SetParamValueFn m_pfnSetParamValue = nullptr;
    GetParamValueFn m_pfnGetParamValue = nullptr;
    GetParamTypeFn m_pfnGetParamType = nullptr;
};
