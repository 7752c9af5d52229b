#include "vi5z_uvevarov_ave/ControlString.h"

bool SplitControlString(const CString& text, ControlString& out)
{
    const int open = text.Find('(');
    const int close = text.Find(')');
    if (open < 0 || close < 0) return false;
    out.word = text.Left(open);
    out.word.Trim().MakeUpper();
    out.arguments = close > open ? text.Mid(open + 1, close - open - 1) : CString();
    out.rest = text.Mid(close + 1);
    return true;
}

std::vector<CString> SplitArguments(const CString& arguments)
{
    std::vector<CString> pieces;
    int start = 0;
    for (;;) {
        const int comma = arguments.Find(',', start);
        if (comma < 0) break;
        pieces.push_back(arguments.Mid(start, comma - start));
        start = comma + 1;
    }
    if (start < arguments.GetLength()) pieces.push_back(arguments.Mid(start));
    return pieces;
}
