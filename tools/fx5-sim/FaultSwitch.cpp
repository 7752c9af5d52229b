#include "tools/fx5-sim/FaultSwitch.h"

#include "tools/common/NumberText.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace fx5sim {

namespace {
// Milliseconds or request counts: 0 up to an hour's worth.
bool ParseCount(const std::string& text, unsigned& out)
{
    int value = 0;
    if (!fx5::ParseWholeInt(text, value) || value < 0 || value > 3600000) return false;
    out = static_cast<unsigned>(value);
    return true;
}
} // namespace

bool ParseEndCode(const std::string& text, int& code)
{
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0' || value > 0xFFFF) return false;
    code = static_cast<int>(value);
    return true;
}

bool ParseFaultLine(const std::string& line, sim::ServerFaults& faults, std::string& error)
{
    sim::ServerFaults parsed;
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
        const size_t eq = word.find('=');
        const std::string key = word.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : word.substr(eq + 1);
        bool ok = true;
        if (key == "none" && eq == std::string::npos)
            parsed = sim::ServerFaults();
        else if (key == "delay")
            ok = ParseCount(value, parsed.delayMs);
        else if (key == "silent-every")
            ok = ParseCount(value, parsed.silentEvery);
        else if (key == "end-code")
            ok = ParseEndCode(value, parsed.endCode);
        else if (key == "close-after")
            ok = ParseCount(value, parsed.closeAfter);
        else if (key == "wrong-routing" && eq == std::string::npos)
            parsed.wrongRouting = true;
        else if (key == "split" && eq == std::string::npos)
            parsed.split = true;
        else
            ok = false;
        if (!ok) {
            error =
                "faults: '" + word + "' is not one of none, delay=MS, silent-every=N, end-code=HEX, wrong-routing, close-after=N, split";
            return false;
        }
    }
    faults = parsed;
    return true;
}

void StdinFaultSwitch::Start()
{
    m_running = true;
    m_thread = std::thread([this] {
        std::string pending;
        while (m_running) {
            // Polled, so that Stop ends the thread without input arriving.
            pollfd in{0, POLLIN, 0};
            if (::poll(&in, 1, 100) <= 0) continue;
            char chunk[256];
            const ssize_t n = ::read(0, chunk, sizeof chunk);
            if (n <= 0) return;
            pending.append(chunk, static_cast<size_t>(n));
            for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                sim::ServerFaults faults;
                std::string error;
                if (ParseFaultLine(line, faults, error)) {
                    m_server.SetFaults(faults);
                    std::printf("faults: %s\n", line.c_str());
                } else {
                    std::printf("%s\n", error.c_str());
                }
                std::fflush(stdout);
            }
        }
    });
}

void StdinFaultSwitch::Stop()
{
    m_running = false;
    if (m_thread.joinable()) m_thread.join();
}

} // namespace fx5sim
