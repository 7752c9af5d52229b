// The constant tables indexed by register type and data type: names, device
// codes, word lengths, data-type options and block limits.
#include "DevTables.h"

const char* const CHLTYPE_STR_000 = "X输入继电器";
const char* const CHLTYPE_STR_001 = "Y输出继电器";
const char* const CHLTYPE_STR_002 = "M内部继电器";
const char* const CHLTYPE_STR_003 = "L锁存继电器";
const char* const CHLTYPE_STR_004 = "F报警器";
const char* const CHLTYPE_STR_005 = "B链接继电器";
const char* const CHLTYPE_STR_006 = "S步进继电器";
const char* const CHLTYPE_STR_007 = "D数据寄存器";
const char* const CHLTYPE_STR_008 = "W链接寄存器";
const char* const CHLTYPE_STR_009 = "TS定时器触点";
const char* const CHLTYPE_STR_010 = "TC定时器线圈";
const char* const CHLTYPE_STR_011 = "TN定时器当前值";
const char* const CHLTYPE_STR_012 = "SS累计定时器触点";
const char* const CHLTYPE_STR_013 = "SC累计定时器线圈";
const char* const CHLTYPE_STR_014 = "SN累计定时器当前值";
const char* const CHLTYPE_STR_015 = "CS计数器触点";
const char* const CHLTYPE_STR_016 = "CC计数器线圈";
const char* const CHLTYPE_STR_017 = "CN计数器当前值";
const char* const CHLTYPE_STR_018 = "LCS长计数器触点";
const char* const CHLTYPE_STR_019 = "LCC长计数器线圈";
const char* const CHLTYPE_STR_020 = "LCN长计数器当前值";
const char* const CHLTYPE_STR_021 = "SB链接特殊继电器";
const char* const CHLTYPE_STR_022 = "SW链接特殊寄存器";
const char* const CHLTYPE_STR_023 = "SM特殊继电器";
const char* const CHLTYPE_STR_024 = "SD特殊寄存器";
const char* const CHLTYPE_STR_025 = "Z变址寄存器";
const char* const CHLTYPE_STR_026 = "LZ长变址寄存器";
const char* const CHLTYPE_STR_027 = "R文件寄存器";
const char* const CHLTYPE_STR_028 = "LTS长定时器触点";
const char* const CHLTYPE_STR_029 = "LTC长定时器线圈";
const char* const CHLTYPE_STR_030 = "LTN长定时器当前值";
const char* const CHLTYPE_STR_031 = "LSTS长累积定时器触点";
const char* const CHLTYPE_STR_032 = "LSTC长累积定时定时器线圈";
const char* const CHLTYPE_STR_033 = "LSTN长累积定时定时器当前值";

// Spelled out rather than pointing at the single names, so the array is
// constant-initialised and never depends on initialisation order.
const char* const CHLTYPE_STR_PROPERTYNAME[REGISTER_TYPE_COUNT] = {
    "X输入继电器",
    "Y输出继电器",
    "M内部继电器",
    "L锁存继电器",
    "F报警器",
    "B链接继电器",
    "S步进继电器",
    "D数据寄存器",
    "W链接寄存器",
    "TS定时器触点",
    "TC定时器线圈",
    "TN定时器当前值",
    "SS累计定时器触点",
    "SC累计定时器线圈",
    "SN累计定时器当前值",
    "CS计数器触点",
    "CC计数器线圈",
    "CN计数器当前值",
    "LCS长计数器触点",
    "LCC长计数器线圈",
    "LCN长计数器当前值",
    "SB链接特殊继电器",
    "SW链接特殊寄存器",
    "SM特殊继电器",
    "SD特殊寄存器",
    "Z变址寄存器",
    "LZ长变址寄存器",
    "R文件寄存器",
    "LTS长定时器触点",
    "LTC长定时器线圈",
    "LTN长定时器当前值",
    "LSTS长累积定时器触点",
    "LSTC长累积定时定时器线圈",
    "LSTN长累积定时定时器当前值",
};

const char* const CHL_STR_NAME[REGISTER_TYPE_COUNT] = {
    "X",  "Y",   "M",   "L",   "F",  "B",  "S",  "D",  "W", "TS", "TC", "TN",  "SS",  "SC", "SN",   "CS",   "CC",
    "CN", "LCS", "LCC", "LCN", "SB", "SW", "SM", "SD", "Z", "LZ", "R",  "LTS", "LTC", "LT", "LSTS", "LSTC", "LST",
};

#define ZOLT_DEVICE_CODES                                                                                                                  \
    {                                                                                                                                      \
        "9C", "9D", "90", "92", "93", "A0", "98", "A8", "B4", "C1", "C0", "C2", "C7", "C6", "C8", "C4", "C3", "C5", "55", "54", "56",      \
            "A1", "B5", "91", "A9", "CC", "62", "AF", "51", "50", "52", "59", "58", "5A"                                                   \
    }
const char* const CHL_STR_READORDER[REGISTER_TYPE_COUNT] = ZOLT_DEVICE_CODES;
const char* const CHL_STR_WRITEORDER[REGISTER_TYPE_COUNT] = ZOLT_DEVICE_CODES;
#undef ZOLT_DEVICE_CODES

#define D4 "%.4d"
#define X4 "%.4x"
const char* const DEV_STR_ADDRESSFORMAT[REGISTER_TYPE_COUNT] = {
    D4, D4, D4, D4, D4, X4, D4, D4, X4, D4, D4, D4, D4, D4, D4, D4, D4, D4, D4, D4, D4, X4, X4, D4, D4, D4, D4, D4, D4, D4, D4, D4, D4, D4,
};
#undef D4
#undef X4

#define WB "_%.2d"
const char* const DEV_STR_BITFORMAT[REGISTER_TYPE_COUNT] = {
    "", "", "", "", "", "", "", WB, WB, "", "", WB, "", "", WB, "", "", WB, "", "", WB, "", WB, "", WB, WB, WB, WB, "", "", WB, "", "", WB,
};
#undef WB

// 0: bit devices, read in words of 16 points and written in bit units;
// 1: word devices; 2: the double-word devices LCN, LZ, LTN and LSTN, read and
// written one double word at a time with the random commands.
const uint32_t DEV_CHL_WORD_LEN_TYPE[REGISTER_TYPE_COUNT] = {
    0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 2, 0, 1, 0, 1, 1, 2, 1, 0, 0, 2, 0, 0, 2,
};

#define ZOLT_BLOCK_LIMITS(B, W)                                                                                                            \
    {                                                                                                                                      \
        B, B, B, B, B, B, B, W, W, B, B, W, B, B, W, B, B, W, B, B, W, B, W, B, W, W, W, W, B, B, W, B, B, W                               \
    }
// Points a read block may cover: 400 bits of a bit device are 25 words, and
// 60 words keep a word block's answer at 131 bytes, so that one answer fits
// the host channel's 512-byte receive chunks with room to spare.
const uint32_t DEV_READBLK_MAXNUM[REGISTER_TYPE_COUNT] = ZOLT_BLOCK_LIMITS(400, 60);
const uint32_t DEV_WRITEBLK_MAXNUM[REGISTER_TYPE_COUNT] = ZOLT_BLOCK_LIMITS(400, 60);
// The same limits as the configuration's editable texts (the per-type block
// limits a device starts with).
const char* const CHLTYPE_STR_EDIT3[REGISTER_TYPE_COUNT] = ZOLT_BLOCK_LIMITS("400", "60");
#undef ZOLT_BLOCK_LIMITS

// Options a register type offers: 0 for bit devices; 23 for 16-bit word
// types (16 bits and 7 numbers), 24 with a string option (D, R, SD); 36 for
// double-word types (32 bits and 4 numbers).
const uint32_t SELECT2_DWORD_PROPERTYNUM[REGISTER_TYPE_COUNT] = {
    0, 0, 0, 0, 0, 0, 0, 24, 23, 0, 0, 23, 0, 0, 23, 0, 0, 23, 0, 0, 36, 0, 23, 0, 24, 23, 36, 24, 0, 0, 36, 0, 0, 36,
};

// X (inputs) is read-only; everything else may be written.
const uint32_t CHLTYPE_DWORD_RWFLAG[REGISTER_TYPE_COUNT] = {
    0, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
};

const char* const DATATYPE_STR_NAME[DATATYPE_COUNT] = {
    "BUB", "BB", "BD", "WUB", "WB", "WD", "DUB", "DB", "DD", "DF", "STR",
};

#define N16U "16位 无符号二进制"
#define N16S "16位 有符号二进制"
#define N16D "16位 4位BCD"
#define N32U "32位 无符号二进制"
#define N32S "32位 有符号二进制"
#define N32D "32位 8位BCD"
#define N32F "32位 浮点数"
#define NSTR "ASCII字符串"

const char* const DATATYPE_STR_SELECT2NAME[DATATYPE_COUNT] = {
    "8位 无符号二进制", "8位 有符号二进制", "8位 2位BCD", N16U, N16S, N16D, N32U, N32S, N32D, N32F, NSTR,
};

const char* const DATATYPE_STR_BITNAME[BITNAME_COUNT] = {
    "BT00", "BT01", "BT02", "BT03", "BT04", "BT05", "BT06", "BT07", "BT08", "BT09", "BT10", "BT11", "BT12", "BT13", "BT14", "BT15",
    "BT16", "BT17", "BT18", "BT19", "BT20", "BT21", "BT22", "BT23", "BT24", "BT25", "BT26", "BT27", "BT28", "BT29", "BT30", "BT31",
};

#define B(n) "通道的第" #n "位"
#define BITS_0_15 B(00), B(01), B(02), B(03), B(04), B(05), B(06), B(07), B(08), B(09), B(10), B(11), B(12), B(13), B(14), B(15)
#define BITS_16_31 B(16), B(17), B(18), B(19), B(20), B(21), B(22), B(23), B(24), B(25), B(26), B(27), B(28), B(29), B(30), B(31)

const char* const DATATYPE_STR_SELECT2BITNAME[BITNAME_COUNT] = {BITS_0_15, BITS_16_31};

// The option lists of the word register types, in ascending register type.
#define LIST23 BITS_0_15, N16U, N16S, N16D, N32U, N32S, N32D, N32F
#define LIST24 LIST23, NSTR
#define LIST36 BITS_0_15, BITS_16_31, N32U, N32S, N32D, N32F
const char* const SELECT2_STR_PROPERTYNAME[SELECT2_OPTION_TOTAL] = {
    LIST24, /* D */ LIST23,  /* W */ LIST23,  /* TN */ LIST23, /* SN */ LIST23, /* CN */ LIST36, /* LCN */
    LIST23, /* SW */ LIST24, /* SD */ LIST23, /* Z */ LIST36,  /* LZ */ LIST24, /* R */ LIST36,  /* LTN */
    LIST36,                                                                                      /* LSTN */
};
#undef LIST23
#undef LIST24
#undef LIST36
#undef BITS_0_15
#undef BITS_16_31
#undef B

const char* const DEV_STR_RWFLAG[3] = {"只读数据", "只写数据", "读写数据"};
const char* const CHLNAME_STR_RWFLAG[3] = {"只读", "只写", "读写"};

// One storage per name, shared by the single names and the array, so a
// property name can be recognised by its address before comparing bytes.
static const char kRowCHLRWFLAG[] = "通道的读写标志";
static const char kRowCHLTYPE[] = "通道类型";
static const char kRowCHLADDRESS[] = "DEV通道地址";
static const char kRowCHLBIT[] = "通道的位";
static const char kRowCHLDATATYPE[] = "通道的数据类型";
static const char kRowCHLREADFASTFLAG[] = "DEV通道的快读标志";
static const char kRowCHLREADMAX[] = "数据块读的最大长度";
static const char kRowCHLNAME[] = "通道名称";
static const char kRowCHLLOGICADDRESS[] = "DEV逻辑地址";
const char* const DEVROW_STR_CHLRWFLAG = kRowCHLRWFLAG;
const char* const DEVROW_STR_CHLTYPE = kRowCHLTYPE;
const char* const DEVROW_STR_CHLADDRESS = kRowCHLADDRESS;
const char* const DEVROW_STR_CHLBIT = kRowCHLBIT;
const char* const DEVROW_STR_CHLDATATYPE = kRowCHLDATATYPE;
const char* const DEVROW_STR_CHLREADFASTFLAG = kRowCHLREADFASTFLAG;
const char* const DEVROW_STR_CHLREADMAX = kRowCHLREADMAX;
const char* const DEVROW_STR_CHLNAME = kRowCHLNAME;
const char* const DEVROW_STR_CHLLOGICADDRESS = kRowCHLLOGICADDRESS;
const char* const DEVROW_STR_PROPERTYNAME[DEVROW_PROPERTY_COUNT] = {
    kRowCHLRWFLAG,       kRowCHLTYPE,    kRowCHLADDRESS, kRowCHLBIT,          kRowCHLDATATYPE,
    kRowCHLREADFASTFLAG, kRowCHLREADMAX, kRowCHLNAME,    kRowCHLLOGICADDRESS,
};
const uint32_t DEVROW_DWORD_PROPERTYTYPE[DEVROW_PROPERTY_COUNT] = {1, 1, 1, 1, 1, 1, 1, 2, 1};
const uint32_t DEVROW_DWORD_PROPERTYTAXIS[DEVROW_PROPERTY_COUNT] = {0, 1, 1, 1, 0, 0, 0, 0, 0};

const char* const DEV_STR_HELPFILENAME = "VI5Z_UVEVAROV_AVE";
const char* const DEV_STR_NAME = "三菱_FX5U_以太网_自由标签";
const char* const DEV_STR_DLLNAMEMU = "VI5Z_UVEVAROV_AVE.dll";
const char* const DEV_STR_DLLNAMECE = "VI5Z_UVEVAROV_AVE.drv";
const char* const DEV_STR_PAGEADDTILE = "通道属性设置";
const char* const DEV_STR_DELWARNING = "真的要删除所有通道吗？";
const char* const DEV_STR_COMMUNICATEFLAG = "通讯状态";
const char* const DEV_STR_ZOLTREADLEN = "ZOLTREADLEN";
const char* const DEV_STR_ZOLTREADFAST = "ZOLTREADFAST";
const char* const DEV_STR_PROPERTYHEAD0X = "0X";
const char* const DEV_STR_PROPERTYHEADBT = "BT";
const char* const DEV_STR_ZOLTSTRDATA = "ZOLTSTR:";

const char* const DEV_STR_PROPERTYNAME[4] = {"通讯等待时间", "分块采集方式", "字符串编码", "字符串解码顺序"};
const char* const DEV_STR_PROPERTLIST[6] = {
    "0 - 按最大长度分块", "1 - 按连续地址分块", "0 - ASCII", "1 - UNICODE", "0 - 21", "1 - 12",
};
const char* const DEV_STR_COLTITAL[3] = {"序号", "设备通道", "读写类型"};

#define L1 "寄存器类型:"
#define L2 "数据类型:"
#define L3 "寄存器地址:"
#define L4 "通道数量:"
#define L5 "最大块读字节数:"
#define L6 "字节长度:"
const char* const DLG_STR_001 = L1;
const char* const DLG_STR_002 = L2;
const char* const DLG_STR_003 = L3;
const char* const DLG_STR_004 = L4;
const char* const DLG_STR_005 = L5;
const char* const DLG_STR_006 = L6;
const char* const DLG_STR_PROPERTYNAME[6] = {L1, L2, L3, L4, L5, L6};
#undef L1
#undef L2
#undef L3
#undef L4
#undef L5
#undef L6

// In command-index order: even indexes read, odd ones write.
const char* const IOCTRL_STR_PROPERTYNAME[IOCTRL_COMMAND_COUNT] = {
    "READ", "WRITE", "READ32", "WRITE32", "READP", "WRITEP", "READPV", "WRITEPV", "READBLOCK", "WRITEBLOCK", "ReadMutiReg", "WriteMutiReg",
};
const char* const DEV_STR_READ = "READ";
const char* const DEV_STR_WRITE = "WRITE";
const char* const DEV_STR_READ32 = "READ32";
const char* const DEV_STR_WRITE32 = "WRITE32";
const char* const DEV_STR_READP = "READP";
const char* const DEV_STR_WRITEP = "WRITEP";
const char* const DEV_STR_READPV = "READPV";
const char* const DEV_STR_WRITEPV = "WRITEPV";
const char* const DEV_STR_READBLOCK = "READBLOCK";
const char* const DEV_STR_WRITEBLOCK = "WRITEBLOCK";
const char* const DEV_STR_READMUTIREG = "ReadMutiReg";
const char* const DEV_STR_WRITEMUTIREG = "WriteMutiReg";
const char* const DEV_STR_ZOLTWRITE = "ZOLT_WRITE";
const char* const DEV_STR_SETHIDDENPRO = "SetHiddenPro";
const char* const DEV_STR_GETHIDDENPRO = "GetHiddenPro";

// A tag record's stored type (0 … 21) to its data type; -1 for none.
const int TAG_TYPE_MAP[TAG_TYPE_MAP_COUNT] = {0, 2, 1, 4, 3, 6, 5, 8, 7, 9, 10, 11, 12, 14, 13, 1, 3, 5, 7, -1, -1, -1};
// A tag's data type to the option it binds with (plus 15 for 16-bit word
// types, 28 for 32-bit ones).
const int CONVERT_DATATYPE_ARRAY[CONVERT_DATATYPE_COUNT] = {0, 1, 2, 4, 3, 5, 6, 5, 9, 11, 10, 12};
const int CONVERT_DATATYPE_OPTION[CONVERT_DATATYPE_COUNT] = {0, 0, 0, 2, 1, 4, 5, 4, 7, 8, 0, 8};

// Where a register type's options start in the list of all options.
int Select2OptionOffset(int registerType)
{
    if (!IsRegisterType(registerType)) return -1;
    int offset = 0;
    for (int type = 0; type < registerType; ++type) offset += static_cast<int>(SELECT2_DWORD_PROPERTYNUM[type]);
    return offset;
}
