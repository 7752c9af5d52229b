// tshark on a capture file, with the SLMP dissector built beside the tools
// decoding the given port; what it prints on standard output.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/FileText.h"
#include "support/ShellLine.h"
#include "support/TempPath.h"

namespace testing_support {

// Passes nothing that flags a problem: a TCP analysis flag, a malformed
// frame, an expert warning or error.
constexpr const char kNoFlagRaised[] = "-Y 'tcp.analysis.flags || _ws.malformed || _ws.expert.severity >= warning'";

inline std::string Tshark(const std::string& capture, const std::string& arguments, uint16_t slmpPort = 0)
{
    std::string decode;
#ifdef SLMP_DISSECTOR_PATH
    if (slmpPort) decode = std::string("-2 -X lua_script:") + SLMP_DISSECTOR_PATH + " -d tcp.port==" + std::to_string(slmpPort) + ",slmp ";
#else
    static_cast<void>(slmpPort); // no dissector in a cross build
#endif
    const std::string out = TempPath("tshark.txt");
    std::string errors;
    EXPECT_EQ(RunShell("tshark -r " + ShellWord(capture) + " " + decode + arguments + " > " + ShellWord(out) + " 2>/dev/null", errors), 0);
    return FileText(out);
}

} // namespace testing_support
