// fx5-config: the compiler between project files (or the engineering
// tool's label export) and the driver's configuration blob.
#include <cstdio>

#include "tools/common/CommandLine.h"
#include "tools/common/WholeFile.h"
#include "tools/fx5-config/Compiler.h"
#include "tools/fx5-config/BlobToProject.h"
#include "tools/fx5-config/LabelImport.h"
#include "tools/fx5-config/ProjectJson.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitInput = 1;

// A file name of "-" is standard input or standard output, so that the
// tool joins pipelines (compile -o - | inspect -).
constexpr const char* kStandardStream = "-";

// How messages name an input.
std::string Shown(const std::string& path) { return path == kStandardStream ? "<stdin>" : path; }

bool ReadFile(const std::string& path, std::string& bytes)
{
    if (path == kStandardStream) {
        bytes.clear();
        char chunk[65536];
        size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) bytes.append(chunk, got);
        return !std::ferror(stdin);
    }
    return fx5::ReadWholeFile(path, bytes);
}

// False when not every byte was written (a closed pipe, a full disk):
// lost output must not end with status 0.
bool WriteFile(const std::string& path, const std::string& bytes)
{
    if (path == kStandardStream) return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
    return fx5::WriteWholeFile(path, bytes);
}

int NotWritten(const std::string& path)
{
    std::fprintf(stderr, "%s: cannot be written\n", path == kStandardStream ? "<stdout>" : path.c_str());
    return kExitInput;
}

// More than this many mistakes are cut short, with the count left out.
constexpr size_t kShownMistakes = 50;

int Report(const std::string& file, const fx5cfg::Diagnostics& diagnostics)
{
    for (size_t i = 0; i < diagnostics.size() && i < kShownMistakes; ++i) {
        const fx5cfg::Diagnostic& d = diagnostics[i];
        // Label files name their own place (file:line); JSON mistakes a path.
        if (d.where.rfind(file, 0) == 0)
            std::fprintf(stderr, "%s: %s\n", d.where.c_str(), d.message.c_str());
        else
            std::fprintf(stderr, "%s: %s%s%s\n", file.c_str(), d.where.c_str(), d.where.empty() ? "" : ": ", d.message.c_str());
    }
    if (diagnostics.size() > kShownMistakes) std::fprintf(stderr, "... %zu more not shown\n", diagnostics.size() - kShownMistakes);
    std::fprintf(stderr, "%zu mistake%s\n", diagnostics.size(), diagnostics.size() == 1 ? "" : "s");
    return kExitInput;
}

bool LoadProject(const std::string& path, fx5cfg::Project& project, fx5cfg::Diagnostics& diagnostics)
{
    std::string text;
    if (!ReadFile(path, text)) {
        diagnostics.push_back({"", "cannot be read"});
        return false;
    }
    return fx5cfg::ParseProject(text, project, diagnostics);
}

} // namespace

static int Run(int argc, char** argv)
{
    CLI::App app{
        "fx5-config: compiles a project file (or the engineering tool's label export) into the driver's configuration blob, and back.\n"
        "Exit status: 0 success, 1 a mistake in the input (every one is listed), 2 bad usage."};
    app.set_version_flag("--version", FX5_VERSION);
    app.require_subcommand(1);

    std::string project, output, blobPath, labels, encoding = "auto";
    bool tree = false, noChannels = false;
    CLI::App* compile = app.add_subcommand("compile", "Compile PROJECT.json into a configuration blob");
    compile->add_option("project", project, "Project file ('-' for standard input)")->required();
    compile->add_option("-o,--output", output, "Blob to write ('-' for standard output)")->required();
    CLI::App* inspect = app.add_subcommand("inspect", "Print a blob back as a project file (or its tag tree)");
    inspect->add_option("blob", blobPath, "Configuration blob ('-' for standard input)")->required();
    inspect->add_flag("--tree", tree, "Print the tag tree as an outline with each tag's device address");
    CLI::App* import = app.add_subcommand(
        "import-labels", "Make a project from a global label export (UTF-16 tab-separated) or a CSV name,type,device,comment");
    import->add_option("labels", labels, "Label file ('-' for standard input)")->required();
    import->add_option("--encoding", encoding, "auto (UTF-16LE by its byte-order mark or zero high bytes, else UTF-8), utf-16le or utf-8")
        ->capture_default_str();
    import->add_option("-o,--output", output, "Project file to write ('-' for standard output)")->required();
    import->add_flag("--no-channels", noChannels, "Make tags only, no host channels");
    CLI::App* check = app.add_subcommand("check", "Check PROJECT.json without writing anything");
    check->add_option("project", project, "Project file ('-' for standard input)")->required();

    int status = 0;
    if (!fx5::ParseCommandLine(app, argc, argv, status)) return status;

    fx5cfg::Diagnostics diagnostics;
    if (compile->parsed() || check->parsed()) {
        fx5cfg::Project p;
        fx5cfg::Compiled compiled;
        // Mistakes of the members and of the layout are all listed together.
        if (LoadProject(project, p, diagnostics)) fx5cfg::Compile(p, compiled, diagnostics);
        if (!diagnostics.empty()) return Report(Shown(project), diagnostics);
        if (check->parsed()) {
            const std::string verdict = Shown(project) + ": " + std::to_string(compiled.leaves.size()) + " tags, " +
                                        std::to_string(p.channels.size()) + " channels: no mistakes\n";
            return WriteFile(kStandardStream, verdict) ? kExitOk : NotWritten(kStandardStream);
        }
        return WriteFile(output, std::string(compiled.blob.begin(), compiled.blob.end())) ? kExitOk : NotWritten(output);
    }
    if (inspect->parsed()) {
        std::string bytes;
        const std::string shown = Shown(blobPath);
        if (!ReadFile(blobPath, bytes)) return Report(shown, {{"", "cannot be read"}});
        const std::vector<unsigned char> blob(bytes.begin(), bytes.end());
        if (tree) {
            std::string outline;
            if (!fx5cfg::TreeOutline(blob, outline, diagnostics)) return Report(shown, diagnostics);
            return WriteFile(kStandardStream, outline) ? kExitOk : NotWritten(kStandardStream);
        }
        fx5cfg::Inspection inspection;
        if (!fx5cfg::Inspect(blob, inspection, diagnostics)) return Report(shown, diagnostics);
        if (!inspection.exact) std::fprintf(stderr, "%s: note: %s\n", shown.c_str(), inspection.note.c_str());
        return WriteFile(kStandardStream, fx5cfg::WriteProject(inspection.project)) ? kExitOk : NotWritten(kStandardStream);
    }
    std::string bytes;
    if (!ReadFile(labels, bytes)) return Report(Shown(labels), {{"", "cannot be read"}});
    fx5cfg::Import result;
    const std::string name = Shown(labels.substr(labels.find_last_of('/') + 1));
    if (!fx5cfg::ImportLabels(name, bytes, encoding, !noChannels, result, diagnostics)) return Report(name, diagnostics);
    for (const std::string& skipped : result.skipped) std::fprintf(stderr, "skipped %s\n", skipped.c_str());
    if (!WriteFile(output, fx5cfg::WriteProject(result.project))) return NotWritten(output);
    std::fprintf(stderr, "%zu tags, %zu channels, %zu labels skipped\n", result.project.tags.size(), result.project.channels.size(),
                 result.skipped.size());
    return kExitOk;
}

int main(int argc, char** argv) { return fx5::RunGuarded("fx5-config", Run, argc, argv); }
