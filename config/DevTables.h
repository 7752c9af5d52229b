// The driver's vocabulary: constant tables indexed by register type, the
// data-type, bit and option lists, row property names, device texts and
// control keywords. Plain constant arrays, so they exist before any code
// of the driver runs and are shared by every device.
#pragma once

#include <cstdint>

// The controller's 34 device memory areas, X to LSTN.
constexpr int REGISTER_TYPE_COUNT = 34;
// BUB … DF and STR.
constexpr int DATATYPE_COUNT = 11;
// BT00 … BT31: a bit of a 16- or 32-bit word.
constexpr int BITNAME_COUNT = 32;
// The data-type options of all register types together (23, 24 or 36 each).
constexpr int SELECT2_OPTION_TOTAL = 354;
// The nine named properties of a channel row.
constexpr int DEVROW_PROPERTY_COUNT = 9;
// READ … WriteMutiReg.
constexpr int IOCTRL_COMMAND_COUNT = 12;

// Register types that other code names directly.
enum RegisterType : int {
    REG_X = 0,
    REG_Y = 1,
    REG_M = 2,
    REG_L = 3,
    REG_F = 4,
    REG_B = 5,
    REG_S = 6,
    REG_D = 7,
    REG_W = 8,
    REG_TS = 9,
    REG_TC = 10,
    REG_TN = 11,
    REG_SS = 12,
    REG_SC = 13,
    REG_SN = 14,
    REG_CS = 15,
    REG_CC = 16,
    REG_CN = 17,
    REG_LCS = 18,
    REG_LCC = 19,
    REG_LCN = 20,
    REG_SB = 21,
    REG_SW = 22,
    REG_SM = 23,
    REG_SD = 24,
    REG_Z = 25,
    REG_LZ = 26,
    REG_R = 27,
    REG_LTS = 28,
    REG_LTC = 29,
    REG_LTN = 30,
    REG_LSTS = 31,
    REG_LSTC = 32,
    REG_LSTN = 33,
};

// Channel data-type codes a row stores: 0 … 31 a bit of a word, 32 a bit
// device, 80 … 89 the numbers, 131 a string; 100 is no channel type but asks
// the conversions for decimal text.
constexpr int CHLCODE_BIT_LAST = 31;
constexpr int CHLCODE_BITDEVICE = 32;
constexpr int CHLCODE_BUB = 80, CHLCODE_BB = 81, CHLCODE_BD = 82;
constexpr int CHLCODE_WUB = 83, CHLCODE_WB = 84, CHLCODE_WD = 85;
constexpr int CHLCODE_DUB = 86, CHLCODE_DB = 87, CHLCODE_DD = 88, CHLCODE_DF = 89;
constexpr int CHLCODE_DECIMAL_TEXT = 100;
constexpr int CHLCODE_STRING = 131;

// The register types' display names, one constant each and as a list.
extern const char* const CHLTYPE_STR_000;
extern const char* const CHLTYPE_STR_001;
extern const char* const CHLTYPE_STR_002;
extern const char* const CHLTYPE_STR_003;
extern const char* const CHLTYPE_STR_004;
extern const char* const CHLTYPE_STR_005;
extern const char* const CHLTYPE_STR_006;
extern const char* const CHLTYPE_STR_007;
extern const char* const CHLTYPE_STR_008;
extern const char* const CHLTYPE_STR_009;
extern const char* const CHLTYPE_STR_010;
extern const char* const CHLTYPE_STR_011;
extern const char* const CHLTYPE_STR_012;
extern const char* const CHLTYPE_STR_013;
extern const char* const CHLTYPE_STR_014;
extern const char* const CHLTYPE_STR_015;
extern const char* const CHLTYPE_STR_016;
extern const char* const CHLTYPE_STR_017;
extern const char* const CHLTYPE_STR_018;
extern const char* const CHLTYPE_STR_019;
extern const char* const CHLTYPE_STR_020;
extern const char* const CHLTYPE_STR_021;
extern const char* const CHLTYPE_STR_022;
extern const char* const CHLTYPE_STR_023;
extern const char* const CHLTYPE_STR_024;
extern const char* const CHLTYPE_STR_025;
extern const char* const CHLTYPE_STR_026;
extern const char* const CHLTYPE_STR_027;
extern const char* const CHLTYPE_STR_028;
extern const char* const CHLTYPE_STR_029;
extern const char* const CHLTYPE_STR_030;
extern const char* const CHLTYPE_STR_031;
extern const char* const CHLTYPE_STR_032;
extern const char* const CHLTYPE_STR_033;
extern const char* const CHLTYPE_STR_PROPERTYNAME[REGISTER_TYPE_COUNT];

// By register type: the name in channel names and control strings ("D"),
extern const char* const CHL_STR_NAME[REGISTER_TYPE_COUNT];
// the binary device code of reads and of writes (two hex digits, "A8"),
extern const char* const CHL_STR_READORDER[REGISTER_TYPE_COUNT];
extern const char* const CHL_STR_WRITEORDER[REGISTER_TYPE_COUNT];
// how a channel name prints the address and the bit,
extern const char* const DEV_STR_ADDRESSFORMAT[REGISTER_TYPE_COUNT];
extern const char* const DEV_STR_BITFORMAT[REGISTER_TYPE_COUNT];
// the word length that picks the frames: 0 bit device, 1 word, 2 double word,
extern const uint32_t DEV_CHL_WORD_LEN_TYPE[REGISTER_TYPE_COUNT];
// the points a read or write block may cover,
extern const uint32_t DEV_READBLK_MAXNUM[REGISTER_TYPE_COUNT];
extern const uint32_t DEV_WRITEBLK_MAXNUM[REGISTER_TYPE_COUNT];
extern const char* const CHLTYPE_STR_EDIT3[REGISTER_TYPE_COUNT];
// the number of data-type options (0 for bit devices),
extern const uint32_t SELECT2_DWORD_PROPERTYNUM[REGISTER_TYPE_COUNT];
// and whether it may be written (0: read-only, X).
extern const uint32_t CHLTYPE_DWORD_RWFLAG[REGISTER_TYPE_COUNT];

// Data-type names, short ("WUB") and long (the option texts they select).
extern const char* const DATATYPE_STR_NAME[DATATYPE_COUNT];
extern const char* const DATATYPE_STR_SELECT2NAME[DATATYPE_COUNT];
extern const char* const DATATYPE_STR_BITNAME[BITNAME_COUNT];
extern const char* const DATATYPE_STR_SELECT2BITNAME[BITNAME_COUNT];
extern const char* const SELECT2_STR_PROPERTYNAME[SELECT2_OPTION_TOTAL];

// Read-only, write-only, read-write: as shown and as a channel name's prefix.
extern const char* const DEV_STR_RWFLAG[3];
extern const char* const CHLNAME_STR_RWFLAG[3];

// The row properties' names, their kinds (1 number, 2 text) and whether the
// table sorts by them (type, address and bit do).
extern const char* const DEVROW_STR_CHLRWFLAG;
extern const char* const DEVROW_STR_CHLTYPE;
extern const char* const DEVROW_STR_CHLADDRESS;
extern const char* const DEVROW_STR_CHLBIT;
extern const char* const DEVROW_STR_CHLDATATYPE;
extern const char* const DEVROW_STR_CHLREADFASTFLAG;
extern const char* const DEVROW_STR_CHLREADMAX;
extern const char* const DEVROW_STR_CHLNAME;
extern const char* const DEVROW_STR_CHLLOGICADDRESS;
extern const char* const DEVROW_STR_PROPERTYNAME[DEVROW_PROPERTY_COUNT];
extern const uint32_t DEVROW_DWORD_PROPERTYTYPE[DEVROW_PROPERTY_COUNT];
extern const uint32_t DEVROW_DWORD_PROPERTYTAXIS[DEVROW_PROPERTY_COUNT];

// The driver's identity and configuration texts.
extern const char* const DEV_STR_HELPFILENAME;
extern const char* const DEV_STR_NAME;
extern const char* const DEV_STR_DLLNAMEMU;
extern const char* const DEV_STR_DLLNAMECE;
extern const char* const DEV_STR_PAGEADDTILE;
extern const char* const DEV_STR_DELWARNING;
extern const char* const DEV_STR_COMMUNICATEFLAG;
extern const char* const DEV_STR_ZOLTREADLEN;
extern const char* const DEV_STR_ZOLTREADFAST;
extern const char* const DEV_STR_PROPERTYHEAD0X;
extern const char* const DEV_STR_PROPERTYHEADBT;
extern const char* const DEV_STR_ZOLTSTRDATA;

// The four device properties and their option texts, compared byte for byte.
extern const char* const DEV_STR_PROPERTYNAME[4];
extern const char* const DEV_STR_PROPERTLIST[6];
extern const char* const DEV_STR_COLTITAL[3];
extern const char* const DLG_STR_001;
extern const char* const DLG_STR_002;
extern const char* const DLG_STR_003;
extern const char* const DLG_STR_004;
extern const char* const DLG_STR_005;
extern const char* const DLG_STR_006;
extern const char* const DLG_STR_PROPERTYNAME[6];

// The control keywords, one constant each and in command-index order.
extern const char* const DEV_STR_READ;
extern const char* const DEV_STR_WRITE;
extern const char* const DEV_STR_READ32;
extern const char* const DEV_STR_WRITE32;
extern const char* const DEV_STR_READP;
extern const char* const DEV_STR_WRITEP;
extern const char* const DEV_STR_READPV;
extern const char* const DEV_STR_WRITEPV;
extern const char* const DEV_STR_READBLOCK;
extern const char* const DEV_STR_WRITEBLOCK;
extern const char* const DEV_STR_READMUTIREG;
extern const char* const DEV_STR_WRITEMUTIREG;
extern const char* const DEV_STR_ZOLTWRITE;
extern const char* const DEV_STR_SETHIDDENPRO;
extern const char* const DEV_STR_GETHIDDENPRO;
extern const char* const IOCTRL_STR_PROPERTYNAME[IOCTRL_COMMAND_COUNT];

// Tag record stored type → TAG_DATA_TYPE (-1 = none).
constexpr int TAG_TYPE_MAP_COUNT = 22;
extern const int TAG_TYPE_MAP[TAG_TYPE_MAP_COUNT];
// ConvertDataType: TAG_DATA_TYPE value → data-type option (first match wins).
constexpr int CONVERT_DATATYPE_COUNT = 12;
extern const int CONVERT_DATATYPE_ARRAY[CONVERT_DATATYPE_COUNT];
extern const int CONVERT_DATATYPE_OPTION[CONVERT_DATATYPE_COUNT];

// Offset of a register type's option list in SELECT2_STR_PROPERTYNAME.
int Select2OptionOffset(int registerType);
inline bool IsRegisterType(int64_t type) { return type >= 0 && type < REGISTER_TYPE_COUNT; }
