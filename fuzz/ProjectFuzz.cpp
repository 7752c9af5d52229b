// fx5-config's inputs: the input as a project file (parsed and compiled)
// as a label list (UTF-16 when it starts with a byte-order mark, otherwise
// CSV), and as a blob to inspect.
#include <cstdint>
#include <string>

#include "tools/fx5-config/Compiler.h"
#include "tools/fx5-config/BlobToProject.h"
#include "tools/fx5-config/LabelImport.h"
#include "tools/fx5-config/ProjectJson.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    fx5cfg::Diagnostics diagnostics;
    fx5cfg::Project project;
    fx5cfg::Compiled compiled;
    if (fx5cfg::ParseProject(text, project, diagnostics)) fx5cfg::Compile(project, compiled, diagnostics);
    fx5cfg::Import imported;
    if (fx5cfg::ImportLabels("fuzz", text, "auto", true, imported, diagnostics)) fx5cfg::Compile(imported.project, compiled, diagnostics);
    // And as a blob made elsewhere, described back.
    fx5cfg::Inspection inspection;
    fx5cfg::Inspect(std::vector<unsigned char>(data, data + size), inspection, diagnostics);
    return 0;
}
