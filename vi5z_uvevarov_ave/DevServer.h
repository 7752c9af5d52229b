// Service group of the driver: stateless operations on values, texts and
// the controller exchange. Implemented per idea under convert/ and
// protocol/.
#pragma once

#include "host/afx.h"

struct ZOLT_DATA;
struct DynBlock;
class CDevTable;

class CDevServer {
public:
    // Numeric conversion of controller hex text.
    static double SvrStr2Double(const CString& text, int code, int group, int length);
    // The same on `available` characters in place, without copying them.
    static double SvrChars2Double(const char* text, int available, int code, int group, int length);
    static CString SvrDouble2Str(double value, int code, int length);
    static int Double2Int(double& value);
    // A value for a host integer channel: truncated, 32 bits kept.
    static int Double2HostInt(double value);
    // Hex characters a numeric channel data-type code occupies (0 for others).
    static int HexCharsOfCode(int code);

    // Hex text and bytes.
    static int SvrHByte2HStr(CByteArray& bytes, CString& text);
    static int SvrHStr2HByte(CString& text, CByteArray& bytes);
    // One receive pass: bytes in `out`, or -1 without a channel or on error.
    static int SvrReadTcpip(ZOLT_DATA& data, CByteArray& out);
    // Sends a request and collects the response up to `expected` bytes
    // within the wait time. Returns the byte count, -2 (no response), -3
    // (routing differs) or -(100 + end code); the response text in `response`.
    static int SvrExchange(ZOLT_DATA& data, const CString& request, int expected, CString& response);

    // Host variables named in control strings: 1 resolved or written, 0 refused.
    static int SvrGetParaValue(ZOLT_DATA& data, CString& text, double& out);
    static int SvrGetParaValue(ZOLT_DATA& data, CString& text, CString& out);
    static int SvrSetParaValue(ZOLT_DATA& data, CString& name, double& value);
    static int SvrSetParaValue(ZOLT_DATA& data, CString& name, CString& value);
    // Splits at the first separator; 0 when it is absent.
    static int SvrGetCmdStr(CString& source, CString& separator, CString& left, CString& right);

    // Character sets.
    static int ConvertCode(const char* fromcode, const char* tocode, char* in, int inlen, char* out, int& outlen);
    static int Utf8ToGbk(char* in, int inlen, char* out, int& outlen);
    static void SvrChangeStrIncode(CByteArray& bytes, int order);
};
