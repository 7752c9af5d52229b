// Host runner: loads the driver with dlopen, hands it a TCP channel to a
// controller (by default the built-in simulator on a loopback port), a
// demonstration configuration and a printing value store, and runs
// collection cycles and a few writes.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/Logger.h"
#include "sim/TcpServer.h"
#include "tools/runner/DemoProject.h"
#include "tools/runner/TcpComm.h"
#include "vi5z_uvevarov_ave/IDeviceCtrl.h"

namespace {

// A value store that keeps the last value of every channel and variable.
class PrintingStore : public IDevRtdbCtrl {
public:
    explicit PrintingStore(std::vector<DemoChannel> channels) : m_channels(std::move(channels)) {}
    int GetValueTypeByName(const char* name, DATATYPE& type) override
    {
        auto it = m_vars.find(name);
        if (it == m_vars.end()) return -1;
        type = DATATYPE_DOUBLE;
        return 0;
    }
    int GetValueByName(const char* name, int& v) override { return v = static_cast<int>(m_vars[name]), 0; }
    int GetValueByName(const char* name, double& v) override { return v = m_vars[name], 0; }
    int GetValueByName(const char*, std::string&) override { return -1; }
    int SetValueByName(const char* name, int v) override { return m_vars[name] = v, 0; }
    int SetValueByName(const char* name, double v) override { return m_vars[name] = v, 0; }
    int SetValueByName(const char*, std::string&) override { return -1; }
    int GetValueTypeByChannel(int channel, DATATYPE& type) override
    {
        if (channel < 0 || channel >= static_cast<int>(m_channels.size())) return -1;
        type = m_channels[static_cast<size_t>(channel)].type;
        return 0;
    }
    int GetValueByChannel(int, int&) override { return -1; }
    int GetValueByChannel(int, double&) override { return -1; }
    int GetValueByChannel(int, std::string&) override { return -1; }
    int SetValueByChannel(int channel, int v) override { return m_text[channel] = std::to_string(v), ++m_updates, 0; }
    int SetValueByChannel(int channel, double v) override
    {
        char text[64];
        std::snprintf(text, sizeof text, "%g", v);
        return m_text[channel] = text, ++m_updates, 0;
    }
    int SetValueByChannel(int channel, std::string& v) override { return m_text[channel] = '"' + v + '"', ++m_updates, 0; }
    int GetValueIDByChannel(int channel, int& id) override { return id = channel, 0; }

    void Print() const
    {
        for (size_t i = 0; i < m_channels.size(); ++i) {
            auto it = m_text.find(static_cast<int>(i));
            std::printf("  %-16s %s\n", m_channels[i].path.c_str(), it == m_text.end() ? "-" : it->second.c_str());
        }
    }
    int Updates() const { return m_updates; }
    std::map<std::string, double>& Vars() { return m_vars; }

private:
    std::vector<DemoChannel> m_channels;
    std::map<int, std::string> m_text;
    std::map<std::string, double> m_vars;
    int m_updates = 0;
};

struct Options {
    std::string driver;
    std::string host = "127.0.0.1";
    int port = 0;  // 0: start the built-in simulator
    int cycles = 40;
};

bool Parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--driver" && hasValue) options.driver = argv[++i];
        else if (arg == "--host" && hasValue) options.host = argv[++i];
        else if (arg == "--port" && hasValue) options.port = std::atoi(argv[++i]);
        else if (arg == "--cycles" && hasValue) options.cycles = std::atoi(argv[++i]);
        else return false;
    }
    return !options.driver.empty() && options.cycles > 0 && options.port >= 0 && options.port < 65536;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s --driver path/to/libVI5Z_UVEVAROV_AVE.so [--host 127.0.0.1 --port N] [--cycles N]\n", argv[0]);
        return 2;
    }
    void* library = dlopen(options.driver.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "cannot load the driver: %s\n", dlerror());
        return 1;
    }
    auto create = reinterpret_cast<CreateDeviceCtrlFn>(dlsym(library, "CreateDeviceCtrl"));
    auto destroy = reinterpret_cast<DestroyDeviceCtrlFn>(dlsym(library, "DestroyDeviceCtrl"));
    auto version = reinterpret_cast<GetInterfaceVersionFn>(dlsym(library, "GetInterfaceVersion"));
    if (!create || !destroy || !version) {
        std::fprintf(stderr, "the driver lacks its entry points\n");
        return 1;
    }

    sim::DeviceMemory memory;
    sim::TcpServer server(memory);
    uint16_t port = static_cast<uint16_t>(options.port);
    if (port == 0) {
        FillDemoMemory(memory);
        if (!server.Start(0)) {
            std::fprintf(stderr, "cannot start the simulator\n");
            return 1;
        }
        port = server.Port();
        std::printf("simulator listening on 127.0.0.1:%u\n", port);
    }

    const DemoProject project = MakeDemoProject();
    PrintingStore store(project.channels);
    TcpComm comm(options.host, port);
    IDeviceCtrl* device = create("PLC1", &store);
    int result = 0;
    std::printf("interface version %d\n", version(1, device));
    result |= device->UpdataCommunication(&comm);
    result |= device->InitDevice(project.blob.data(), static_cast<int>(project.blob.size()));
    const int count = static_cast<int>(project.channels.size());
    std::vector<int> flags(static_cast<size_t>(count), 1);
    result |= device->ChannelRefChange(flags.data(), count);
    if (result != 0) std::fprintf(stderr, "initialisation failed: 0x%x\n", static_cast<unsigned>(result));

    int failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int cycle = 0; cycle < options.cycles; ++cycle) {
        const int status = device->CollectDevData(flags.data(), count);
        if (status != 0) ++failures;
        if (cycle == options.cycles / 2) {
            double setpoint = 42.5;
            device->WriteChannel(1, DATATYPE_DOUBLE, &setpoint);
            int on = 1;
            device->WriteChannel(3, DATATYPE_INT, &on);
            store.Vars()["level"] = 0;
            device->DevIOCtrl("READ(D,100,WUB=level)");
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d collection calls in %.1f ms, %d value updates, %d failed calls\n", options.cycles, ms, store.Updates(), failures);
    store.Print();
    std::printf("  READ(D,100,WUB=level) -> level = %g\n", store.Vars()["level"]);

    device->CleanupDevice();
    destroy(device);
    server.Stop();
    dlclose(library);
    return result == 0 && failures == 0 ? 0 : 1;
}
