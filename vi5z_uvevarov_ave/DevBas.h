// Device-base operations on the state record: the device data record's
// life cycle, the legacy configuration, planning, reading and writing.
#pragma once

#include "config/ChannelGeneration.h"
#include "vi5z_uvevarov_ave/DevData.h"

class CDevBas {
public:
    // Creates the record with its defaults and reads a legacy archive if one
    // is held (reads past its data find the zero padding); nothing when the
    // record exists.
    static void mfCheckDevDataInit(ZOLT_DATA& data);
    static int mfDeleteMydata(ZOLT_DATA& data, DEV_DATA* copyTarget);
    // Reads the legacy layout; counts beyond the buffer read no further.
    static void mfDeserializeFromOld(ZOLT_DATA& data);
    // Channel generation: 1 when rows were appended, 0 when refused.
    static int mfMakeDevRowsFromSChlInfo(SChlInfo& info, CArray<CDevRow, CDevRow&>& rows);

    // Read planning: returns the number of read ranks.
    static int mfMakeBlockDynamic(ZOLT_DATA& data, CArray<int, int>& refs, int mode, int command);
    static int mfAnalyzeDynBlock(ZOLT_DATA& data, int fromRank, int mode, int countLinks);
    static int mfLinkRankBlock(ZOLT_DATA& data, int fromRank, int mode, int maxFlag);

    // Read cycle: 0 when nothing to read or read, -100 when the read failed.
    static int mfCollectDevData(ZOLT_DATA& data, CArray<int, int>& status, CArray<double, double>& values, CStringArray& strings);
    static int _ReadBlock(ZOLT_DATA& data, CArray<int, int>& status, CArray<double, double>& values, CStringArray& strings, int rank);

    // Write path: 11 on success, -4 on every failure.
    static int mfFormWriteOrder(ZOLT_DATA& data, CArray<double, double>& values, CStringArray& strings, CString& request, int index,
                                int isBlock);
    static int _WriteBlock(ZOLT_DATA& data, CArray<double, double>& values, CStringArray& strings, int index, int isBlock);

    // Direct commands: positive on success, negative on failure, 0 when the
    // command word is not one of the twelve.
    static int mfDevIOCtrl(ZOLT_DATA& data, CString& command, CArray<double, double>& values, CStringArray& texts);
    // One direct command: 1 done, -5 unparsable, -6 not delivered or nothing
    // planned, otherwise the failed read's or write's result.
    static int mfDevIOWriteAndRead(ZOLT_DATA& data, CString& arguments, int index);

    // Per-type block limits from the constant table.
    static void mfDefaultTypeLimits(DEV_DATA& dev);
};
