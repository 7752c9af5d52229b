// fx5-config on a large project: 20 000 tags (scalars, arrays, structures)
// and 10 000 channels, compiled and inspected. Goal: well under a second.
#include <benchmark/benchmark.h>

#include <string>

#include "tools/fx5-config/Compiler.h"
#include "tools/fx5-config/BlobToProject.h"
#include "tools/fx5-config/ProjectJson.h"

namespace {

fx5cfg::Project LargeProject()
{
    std::string tags, channels;
    // 20 000 scalar tags over D and R, every other one bound to a channel.
    for (int i = 0; i < 20000; ++i) {
        const std::string name = "tag" + std::to_string(i);
        const std::string device = i < 7000 ? "D" + std::to_string(i) : "R" + std::to_string(i - 7000);
        tags += std::string(i ? "," : "") + R"({"name": ")" + name + R"(", "type": "int16", "device": ")" + device + R"("})";
        if (i % 2 == 0) channels += std::string(i ? "," : "") + R"({"tag": ")" + name + R"("})";
    }
    fx5cfg::Project project;
    fx5cfg::Diagnostics diagnostics;
    fx5cfg::ParseProject(R"({"tags": [)" + tags + R"(], "channels": [)" + channels + "]}", project, diagnostics);
    return project;
}

void BM_CompileProject20000Tags10000Channels(benchmark::State& state)
{
    const fx5cfg::Project project = LargeProject();
    for (auto _ : state) {
        fx5cfg::Compiled compiled;
        fx5cfg::Diagnostics diagnostics;
        if (!fx5cfg::Compile(project, compiled, diagnostics)) state.SkipWithError("compile failed");
        benchmark::DoNotOptimize(compiled.blob.data());
    }
}
BENCHMARK(BM_CompileProject20000Tags10000Channels)->Unit(benchmark::kMillisecond);

void BM_InspectProject20000Tags10000Channels(benchmark::State& state)
{
    fx5cfg::Compiled compiled;
    fx5cfg::Diagnostics diagnostics;
    fx5cfg::Compile(LargeProject(), compiled, diagnostics);
    for (auto _ : state) {
        fx5cfg::Inspection inspection;
        if (!fx5cfg::Inspect(compiled.blob, inspection, diagnostics) || !inspection.exact) state.SkipWithError("inspect failed");
        benchmark::DoNotOptimize(inspection.project.tags.data());
    }
}
BENCHMARK(BM_InspectProject20000Tags10000Channels)->Unit(benchmark::kMillisecond);

} // namespace
