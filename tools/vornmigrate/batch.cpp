#include "batch.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "hebrew/config_folder.h"
#include "hebrew/display_order.h"
#include "hebrew/profile_portable.h"
#include "hebrew/utf8.h"
#include "platform.h"

namespace vornmigrate {

namespace fs = std::filesystem;

const char* const kUsage =
    "Usage: vornmigrate [options] IN.dxf OUT.dxf\n"
    "       vornmigrate [options] --out-dir DIR PATH...\n"
    "       vornmigrate [options] --dry-run PATH...\n"
    "\n"
    "Migrates the Hebrew texts of ASCII DXF drawings from the legacy font encodings\n"
    "(DOS letter codes, Latin keys, Windows letters in display order) to a True Type\n"
    "font, leaving every other line of the drawing byte for byte as it was. A PATH is\n"
    "a drawing or a folder, whose *.dxf files (any case) are taken with its subfolders;\n"
    "under --out-dir the migrated copies keep the folders below each folder given.\n"
    "\n"
    "  --map FILE        the font map (default: HebFonts.txt of the configuration folder)\n"
    "  --font NAME       the True Type font file of the migrated styles (default arial.ttf)\n"
    "  --for host        the system's own True Type form: the CAD program shows it and\n"
    "                    the editors open it as before (the default)\n"
    "  --for logical     Unicode in reading order\n"
    "  --for visual      the display order as a left-to-right string\n"
    "  --out-dir DIR     write the migrated drawings under DIR\n"
    "  --dry-run         write no drawing, only the report\n"
    "  --report FILE     one tab-separated row per text: file, handle, entity type,\n"
    "                    owning block, style, font file, font type, backwards, status\n"
    "                    (converted, same, review), old text, new text\n"
    "  -j N              drawings migrated at once (default: the number of processors)\n"
    "  --quiet           no progress line and no summary\n"
    "  --help            this text\n"
    "\n"
    "Exit status: 0 when every drawing was migrated, 1 when any failed (the others are\n"
    "still done), 2 for bad usage. A drawing that fails is named with the line of the\n"
    "fault, and its output is not written. DWG drawings are not read: export them as\n"
    "DXF from the CAD program.\n";

namespace {

bool endsWithNoCase(const std::string& s, const std::string& suffix) {
    if (s.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), s.end() - suffix.size(),
                      [](char a, char b) { return std::tolower((unsigned char)a) == std::tolower((unsigned char)b); });
}

fs::path pathOf(const std::string& utf8) { return fs::u8path(utf8); }
std::string utf8Of(const fs::path& p) { return p.u8string(); }

std::u16string widen(const std::string& s) {
    auto w = hebrew::utf8ToUtf16(s);
    return w ? *w : std::u16string(s.begin(), s.end());
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine c;
    auto fail = [&](const std::string& message) {
        c.error = "vornmigrate: " + message;
        return c;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "--map" || a == "--font" || a == "--for" || a == "--report" ||
                                a == "--out-dir" || a == "-j";
        if (takesValue && i + 1 >= args.size()) return fail("option " + a + " needs a value");
        if (a == "--help" || a == "-h") {
            c.help = true;
        } else if (a == "--dry-run") {
            c.dryRun = true;
        } else if (a == "--quiet") {
            c.quiet = true;
        } else if (a == "--map") {
            c.mapFile = args[++i];
        } else if (a == "--font") {
            c.font = args[++i];
            if (!endsWithNoCase(c.font, ".ttf"))
                return fail("--font names a True Type font file, ending in .ttf ('" + c.font + "')");
        } else if (a == "--for") {
            const std::string& v = args[++i];
            if (v == "host") c.target = Target::Host;
            else if (v == "logical") c.target = Target::Logical;
            else if (v == "visual") c.target = Target::Visual;
            else return fail("--for takes host, logical or visual, not '" + v + "'");
        } else if (a == "--report") {
            c.reportFile = args[++i];
        } else if (a == "--out-dir") {
            c.outDir = args[++i];
        } else if (a == "-j") {
            const std::string& v = args[++i];
            const bool digits = !v.empty() && std::all_of(v.begin(), v.end(), ::isdigit) && v.size() < 5;
            if (!digits || std::stoi(v) < 1) return fail("-j takes a number of drawings from 1 up, not '" + v + "'");
            c.jobs = static_cast<unsigned>(std::stoi(v));
        } else if (a.size() > 1 && a[0] == '-') {
            return fail("unknown option '" + a + "' (see --help)");
        } else {
            c.paths.push_back(a);
        }
    }
    if (c.help) return c;
    if (c.paths.empty()) return fail("no drawing given (see --help)");
    if (!c.dryRun && !c.outDir && c.paths.size() != 2)
        return fail("give IN.dxf OUT.dxf, or --out-dir DIR or --dry-run with the drawings (see --help)");
    return c;
}

namespace {

struct Job {
    fs::path input;
    std::string name;  // as the messages and the report name it
    std::optional<fs::path> output;
    std::string error;  // set: the job fails with this message
};

bool isDxf(const fs::path& p) { return endsWithNoCase(utf8Of(p.filename()), ".dxf"); }
bool isDwg(const fs::path& p) { return endsWithNoCase(utf8Of(p.filename()), ".dwg"); }

const char* const kDwgMessage = "DWG drawings are not read: export the drawing as DXF from the CAD program";

// The drawings of the command, in the order given, each folder's sorted.
std::vector<Job> planJobs(const CommandLine& c, std::size_t& dwgSkipped) {
    std::vector<Job> jobs;
    if (!c.dryRun && !c.outDir) {
        Job job{pathOf(c.paths[0]), c.paths[0], pathOf(c.paths[1]), {}};
        if (isDwg(job.input)) job.error = kDwgMessage;
        jobs.push_back(std::move(job));
        return jobs;
    }
    const std::optional<fs::path> outDir = c.dryRun ? std::nullopt : std::optional<fs::path>(pathOf(*c.outDir));
    for (const std::string& given : c.paths) {
        const fs::path p = pathOf(given);
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            std::vector<fs::path> found;
            for (auto it = fs::recursive_directory_iterator(p, ec); !ec && it != fs::recursive_directory_iterator();
                 it.increment(ec)) {
                // The migrated copies of an earlier run are no drawings to migrate.
                std::error_code entryError;  // an entry that cannot be examined is passed over
                if (outDir && it->is_directory(entryError) && fs::equivalent(it->path(), *outDir, entryError)) {
                    it.disable_recursion_pending();
                    continue;
                }
                if (!it->is_regular_file(entryError)) continue;
                if (isDxf(it->path())) found.push_back(it->path());
                else if (isDwg(it->path())) ++dwgSkipped;
            }
            std::sort(found.begin(), found.end());
            for (const fs::path& f : found) {
                Job job{f, utf8Of(f), std::nullopt, {}};
                if (outDir) job.output = *outDir / f.lexically_relative(p);
                jobs.push_back(std::move(job));
            }
            if (ec) jobs.push_back({p, given, std::nullopt, "the folder could not be read: " + ec.message()});
        } else {
            Job job{p, given, std::nullopt, {}};
            if (outDir) job.output = *outDir / p.filename();
            if (isDwg(p)) job.error = kDwgMessage;
            else if (!fs::exists(p, ec)) job.error = "no such drawing or folder";
            jobs.push_back(std::move(job));
        }
    }
    return jobs;
}

bool samePath(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// Bad usage: an output that is an input, or one output for two drawings.
std::string checkOutputs(const std::vector<Job>& jobs) {
    std::map<fs::path, std::string> outputs;
    for (const Job& job : jobs) {
        if (!job.output || !job.error.empty()) continue;
        if (samePath(job.input, *job.output))
            return "the output " + utf8Of(*job.output) + " is the input itself; the input is never written";
        std::error_code ec;
        const fs::path key = fs::weakly_canonical(*job.output, ec);
        auto [it, added] = outputs.emplace(key, job.name);
        if (!added) return "the drawings " + it->second + " and " + job.name + " would both be written to " +
                           utf8Of(*job.output);
    }
    return {};
}

void writeField(std::FILE* f, const std::string& s) {
    for (char ch : s) std::fputc(ch == '\t' || ch == '\r' || ch == '\n' ? ' ' : ch, f);
}

void writeRow(std::FILE* f, const std::string& file, const TextRow& row) {
    const std::string fields[] = {file,
                                  row.handle,
                                  row.entityType,
                                  row.block,
                                  row.style,
                                  row.fontFile,
                                  row.fontType,
                                  row.backwards ? "yes" : "no",
                                  statusName(row.status),
                                  hebrew::utf16ToUtf8(row.oldText),
                                  hebrew::utf16ToUtf8(row.newText)};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i) std::fputc('\t', f);
        writeField(f, fields[i]);
    }
    std::fputc('\n', f);
}

const char* const kReportHeader =
    "file\thandle\tentity type\towning block\tstyle\tfont file\tfont type\tbackwards\tstatus\told text\tnew text\n";

fs::path temporaryBeside(const fs::path& destination, std::size_t index) {
    const std::string name = "." + utf8Of(destination.filename()) + ".vornmigrate-" + std::to_string(index) + ".tmp";
    return destination.parent_path() / fs::u8path(name);
}

struct Outcome {
    bool ok = false;
    Counts counts;
};

class Batch {
public:
    Batch(const CommandLine& c, const Options& options, std::vector<Job> jobs, std::FILE* err)
        : command_(c), options_(options), jobs_(std::move(jobs)), err_(err), outcomes_(jobs_.size()),
          progress_(!c.quiet && platform::isTerminal(err)) {}

    void run() {
        unsigned n = command_.jobs ? command_.jobs : std::max(1u, std::thread::hardware_concurrency());
        n = static_cast<unsigned>(std::min<std::size_t>(n, jobs_.size()));
        std::vector<std::thread> workers;
        for (unsigned i = 1; i < n; ++i) workers.emplace_back([this] { work(); });
        work();
        for (std::thread& t : workers) t.join();
        if (progress_) std::fputc('\n', err_);
    }

    const std::vector<Outcome>& outcomes() const { return outcomes_; }
    fs::path reportPart(std::size_t index) const {
        return temporaryBeside(pathOf(*command_.reportFile), index);
    }

private:
    void work() {
        const auto surface = hebrew::makeLeftToRightSurface();  // one per thread: a device context is not shared
        for (std::size_t i = next_++; i < jobs_.size(); i = next_++) {
            outcomes_[i] = migrateOne(i, *surface);
            std::lock_guard<std::mutex> lock(mutex_);
            ++done_;
            if (outcomes_[i].ok) converted_ += outcomes_[i].counts.converted;
            else ++failed_;
            if (progress_)
                std::fprintf(err_, "\rvornmigrate: %zu of %zu drawings, %llu texts converted, %zu failed ", done_,
                             jobs_.size(), converted_, failed_);
        }
    }

    void fail(const Job& job, unsigned long long line, const std::string& message) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (progress_) std::fputc('\n', err_);
        if (line) std::fprintf(err_, "vornmigrate: %s: line %llu: %s\n", job.name.c_str(), line, message.c_str());
        else std::fprintf(err_, "vornmigrate: %s: %s\n", job.name.c_str(), message.c_str());
    }

    Outcome migrateOne(std::size_t index, const hebrew::DisplayOrderer& surface) {
        const Job& job = jobs_[index];
        if (!job.error.empty()) {
            fail(job, 0, job.error);
            return {};
        }
        std::FILE* in = platform::openFile(job.input, "rb");
        if (!in) {
            fail(job, 0, "the drawing could not be opened");
            return {};
        }
        std::FILE* out = nullptr;
        fs::path temporary;
        std::error_code ec;
        if (job.output) {
            if (!job.output->parent_path().empty()) fs::create_directories(job.output->parent_path(), ec);
            temporary = temporaryBeside(*job.output, index);
            out = platform::openFile(temporary, "wb");
            if (!out) {
                std::fclose(in);
                fail(job, 0, "the output " + utf8Of(*job.output) + " could not be created");
                return {};
            }
        }
        std::FILE* part = command_.reportFile ? platform::openFile(reportPart(index), "wb") : nullptr;
        const RowSink rows = part ? RowSink([&](const TextRow& row) { writeRow(part, job.name, row); }) : RowSink();
        Outcome outcome;
        std::string problem;
        unsigned long long line = 0;
        try {
            if (command_.reportFile && !part) throw BadDrawing(0, "the report could not be written");
            outcome.counts = migrateDrawing(in, out, options_, surface, rows);
            outcome.ok = true;
        } catch (const BadDrawing& e) {
            problem = e.what();
            line = e.line;
        } catch (const std::exception& e) {
            problem = e.what();
        }
        std::fclose(in);
        if (part && std::fclose(part) != 0 && outcome.ok) {
            outcome.ok = false;
            problem = "the report could not be written";
        }
        if (out && std::fclose(out) != 0 && outcome.ok) {
            outcome.ok = false;
            problem = "the migrated drawing could not be written";
        }
        if (outcome.ok && out && !platform::replaceFile(temporary, *job.output)) {
            outcome.ok = false;
            problem = "the migrated drawing could not be renamed to " + utf8Of(*job.output);
        }
        if (!outcome.ok) {
            if (out) fs::remove(temporary, ec);
            if (command_.reportFile) fs::remove(reportPart(index), ec);
            fail(job, line, problem);
        }
        return outcome;
    }

    const CommandLine& command_;
    const Options& options_;
    std::vector<Job> jobs_;
    std::FILE* err_;
    std::vector<Outcome> outcomes_;
    bool progress_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::size_t done_ = 0, failed_ = 0;
    unsigned long long converted_ = 0;
};

// The parts of the report in the order of the drawings, behind one header.
bool writeReport(const Batch& batch, const fs::path& report, std::size_t jobs) {
    const fs::path temporary = temporaryBeside(report, jobs);
    std::FILE* f = platform::openFile(temporary, "wb");
    if (!f) return false;
    std::fputs(kReportHeader, f);
    std::vector<char> buffer(1 << 16);
    std::error_code ec;
    for (std::size_t i = 0; i < jobs; ++i) {
        const fs::path part = batch.reportPart(i);
        if (std::FILE* p = platform::openFile(part, "rb")) {
            for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), p)) > 0;)
                std::fwrite(buffer.data(), 1, n, f);
            std::fclose(p);
            fs::remove(part, ec);
        }
    }
    const bool written = std::fclose(f) == 0;
    return written && platform::replaceFile(temporary, report);
}

std::optional<hebrew::FontMap> loadMap(const CommandLine& c, std::string& error) {
    hebrew::PortableProfileFiles files;
    if (c.mapFile) {
        std::error_code ec;
        if (!fs::is_regular_file(pathOf(*c.mapFile), ec)) {
            error = "vornmigrate: the font map " + *c.mapFile + " does not exist";
            return std::nullopt;
        }
        return hebrew::loadFontMap(files, widen(*c.mapFile));
    }
    return hebrew::loadFontMap(files, hebrew::ConfigFolder().folder + hebrew::kFontMapFile);
}

}  // namespace

int runCommand(const CommandLine& c, std::FILE* out, std::FILE* err) {
    if (!c.error.empty()) {
        std::fprintf(err, "%s\n", c.error.c_str());
        return kBadUsage;
    }
    if (c.help) {
        std::fputs(kUsage, out);
        return kAllMigrated;
    }
    std::string error;
    Options options;
    options.target = c.target;
    options.fontFile = widen(c.font);
    auto map = loadMap(c, error);
    if (!map) {
        std::fprintf(err, "%s\n", error.c_str());
        return kBadUsage;
    }
    options.map = std::move(*map);
    std::size_t dwgSkipped = 0;
    std::vector<Job> jobs = planJobs(c, dwgSkipped);
    if (std::string bad = checkOutputs(jobs); !bad.empty()) {
        std::fprintf(err, "vornmigrate: %s\n", bad.c_str());
        return kBadUsage;
    }
    const std::size_t total = jobs.size();
    Batch batch(c, options, std::move(jobs), err);
    batch.run();

    std::size_t failed = 0;
    Counts counts;
    for (const Outcome& o : batch.outcomes()) {
        if (!o.ok) {
            ++failed;
            continue;
        }
        counts.converted += o.counts.converted;
        counts.same += o.counts.same;
        counts.review += o.counts.review;
    }
    if (c.reportFile && !writeReport(batch, pathOf(*c.reportFile), total)) {
        std::fprintf(err, "vornmigrate: the report %s could not be written\n", c.reportFile->c_str());
        failed = std::max<std::size_t>(failed, 1);
    }
    if (!c.quiet) {
        std::fprintf(out, "vornmigrate: %zu of %zu drawings %s, %zu failed; texts: %llu converted, %llu the same, "
                          "%llu to review\n",
                     total - failed, total, c.dryRun ? "checked" : "migrated", failed, counts.converted, counts.same,
                     counts.review);
        if (dwgSkipped)
            std::fprintf(out, "vornmigrate: %zu DWG drawings in the folders were skipped: export them as DXF from "
                              "the CAD program\n",
                         dwgSkipped);
    }
    return failed ? kSomeFailed : kAllMigrated;
}

}  // namespace vornmigrate
