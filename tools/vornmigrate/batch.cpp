#include "batch.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
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
    "font, leaving every other line of the drawing byte for byte as it was. A style\n"
    "is migrated when the font map names its font as a legacy type, or when its font\n"
    "is not in the map and the texts of that font, in all the drawings given, show\n"
    "legacy Hebrew beyond doubt; every other style stays as it is. A PATH is\n"
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
    "                    (converted, same, review), old text, new text, note\n"
    "  --learn-map FILE  write the font map lines of the fonts read from their texts\n"
    "                    (the form of HebFonts.txt), for the editors and for --map\n"
    "  -j N              drawings migrated at once (default: the number of processors)\n"
    "  --quiet           no progress line and no summary\n"
    "  --help            this text\n"
    "  --                what follows are drawings and folders, whatever their names\n"
    "\n"
    "Exit status: 0 when every drawing was migrated, 1 when any failed (the others are\n"
    "still done), 2 for bad usage. A drawing that fails is named with the line of the\n"
    "fault, and its output is not written. DWG drawings are not read: export them as\n"
    "DXF from the CAD program. No output and no report may be an input, and each\n"
    "is written to a new file beside it that replaces it only when complete.\n";

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
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded) {
            c.paths.push_back(a);
            continue;
        }
        const bool takesValue = a == "--map" || a == "--font" || a == "--for" || a == "--report" ||
                                a == "--out-dir" || a == "-j" || a == "--learn-map";
        if (takesValue && i + 1 >= args.size()) return fail("option " + a + " needs a value");
        if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
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
        } else if (a == "--learn-map") {
            c.learnMapFile = args[++i];
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

// Every drawing below folder, sorted; an entry that cannot be read becomes a
// failed job of its own, and the rest of the tree goes on.
void findDrawings(const fs::path& folder, const std::optional<fs::path>& outDir, std::vector<fs::path>& found,
                  std::vector<Job>& unreadable, std::size_t& dwgSkipped) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    std::vector<fs::path> subfolders;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path entry = it->path();
        std::error_code entryError;
        if (it->is_directory(entryError)) {
            // The migrated copies of an earlier run are no drawings to migrate.
            if (outDir && fs::equivalent(entry, *outDir, entryError)) continue;
            subfolders.push_back(entry);
        } else if (entryError) {
            unreadable.push_back({entry, utf8Of(entry), std::nullopt, "could not be examined: " + entryError.message()});
        } else if (it->is_regular_file(entryError) && isDxf(entry)) {
            found.push_back(entry);
        } else if (isDwg(entry)) {
            ++dwgSkipped;
        }
    }
    if (ec) unreadable.push_back({folder, utf8Of(folder), std::nullopt, "the folder could not be read: " + ec.message()});
    for (const fs::path& sub : subfolders) findDrawings(sub, outDir, found, unreadable, dwgSkipped);
}

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
            std::vector<Job> unreadable;
            findDrawings(p, outDir, found, unreadable, dwgSkipped);
            std::sort(found.begin(), found.end());
            for (const fs::path& f : found) {
                Job job{f, utf8Of(f), std::nullopt, {}};
                if (outDir) job.output = *outDir / f.lexically_relative(p);
                jobs.push_back(std::move(job));
            }
            for (Job& job : unreadable) jobs.push_back(std::move(job));
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

// A path as a key that two spellings of one file share, where the file system
// may not tell case apart (Windows, and shares mounted from it).
std::string nameKey(const fs::path& p) {
    std::error_code ec;
    fs::path full = fs::weakly_canonical(fs::absolute(p, ec), ec);
    std::string key = utf8Of(full.lexically_normal());
    for (char& ch : key)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return key;
}

// Bad usage, found before anything is written: an output or the report that
// is an input, by the file it is whatever its spelling; one file written for
// two; an output that exists and is no plain file.
std::string checkOutputs(const std::vector<Job>& jobs, const std::optional<std::string>& report,
                         const std::optional<std::string>& learnedMap) {
    std::map<platform::FileId, std::string> inputs;
    for (const Job& job : jobs)
        if (job.error.empty())
            if (auto id = platform::fileId(job.input)) inputs.emplace(*id, job.name);
    std::map<std::string, std::string> written;  // name key: what is written there
    std::map<platform::FileId, std::string> writtenIds;
    auto claim = [&](const fs::path& target, const std::string& what) -> std::string {
        const std::string shown = utf8Of(target);
        if (platform::entryAt(target) == platform::Entry::Other)
            return "the " + what + " " + shown + " exists and is not a plain file; it is not replaced";
        if (auto id = platform::fileId(target)) {
            if (auto in = inputs.find(*id); in != inputs.end())
                return "the " + what + " " + shown + " is the input " + in->second + "; an input is never written";
            if (auto [it, added] = writtenIds.emplace(*id, what + " " + shown); !added)
                return "the " + it->second + " and the " + what + " " + shown + " are one file";
        }
        if (auto [it, added] = written.emplace(nameKey(target), what + " " + shown); !added)
            return "the " + it->second + " and the " + what + " " + shown +
                   " would be one file (names that differ only in case are one file on Windows)";
        return {};
    };
    for (const Job& job : jobs) {
        if (!job.output || !job.error.empty()) continue;
        if (std::string bad = claim(*job.output, "output of " + job.name); !bad.empty()) return bad;
    }
    if (report)
        if (std::string bad = claim(pathOf(*report), "report"); !bad.empty()) return bad;
    if (learnedMap)
        if (std::string bad = claim(pathOf(*learnedMap), "learned font map"); !bad.empty()) return bad;
    return {};
}

// The files of this run that are not yet complete, removed on every way out:
// a failure, or an interruption (from the interrupt's own thread).
class Temporaries {
public:
    // A new file beside destination, under a name no other process shares.
    std::FILE* create(const fs::path& destination, fs::path& temporary, std::string& error) {
        for (int attempt = 0; attempt < 8; ++attempt) {
            char unique[48];
            std::snprintf(unique, sizeof unique, ".vornmigrate-%lu-%016" PRIx64 ".tmp", platform::processId(),
                          platform::randomNumber());
            temporary = destination.parent_path() / fs::u8path("." + utf8Of(destination.filename()) + unique);
            std::lock_guard<std::mutex> lock(mutex_);
            if (std::FILE* f = platform::createNew(temporary, error)) {
                paths_.insert(temporary);
                return f;
            }
            if (platform::entryAt(temporary) == platform::Entry::Missing) return nullptr;  // not a name clash
        }
        return nullptr;
    }
    void remove(const fs::path& temporary) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::error_code ec;
        fs::remove(temporary, ec);
        paths_.erase(temporary);
    }
    // The complete file takes the destination's place.
    bool publish(const fs::path& temporary, const fs::path& destination, std::string& error) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!platform::replaceFile(temporary, destination, error)) return false;
        paths_.erase(temporary);
        return true;
    }
    // Removes them all for a process about to end: the lock is kept, so that
    // no other thread creates, publishes or ends the run on its own after it.
    void removeAllAndHold() {
        mutex_.lock();
        std::error_code ec;
        for (const fs::path& p : paths_) fs::remove(p, ec);
        paths_.clear();
    }

private:
    std::mutex mutex_;
    std::set<fs::path> paths_;
};

// Lives as long as the process: the interrupt may come at any time.
Temporaries& temporaries() {
    static Temporaries* files = new Temporaries;
    return *files;
}

bool isTemporaryName(const std::string& name) {
    const std::string mark = ".vornmigrate-";
    return name.size() > 1 && name[0] == '.' && name.find(mark) != std::string::npos && endsWithNoCase(name, ".tmp");
}

// Temporary files that an earlier run left where this one writes: named,
// never touched (another run may be writing them now).
void reportLeftovers(const std::vector<Job>& jobs, const std::optional<std::string>& report, std::FILE* err) {
    std::set<fs::path> folders;
    for (const Job& job : jobs)
        if (job.output) folders.insert(job.output->parent_path());
    if (report) folders.insert(pathOf(*report).parent_path());
    for (const fs::path& folder : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
             !ec && it != fs::directory_iterator(); it.increment(ec))
            if (isTemporaryName(utf8Of(it->path().filename())))
                std::fprintf(err, "vornmigrate: %s: a temporary file of another run, left as it is\n",
                             utf8Of(it->path()).c_str());
    }
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
                                  hebrew::utf16ToUtf8(row.newText),
                                  row.note};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i) std::fputc('\t', f);
        writeField(f, fields[i]);
    }
    if (std::fputc('\n', f) == EOF || std::ferror(f))
        throw BadDrawing(0, "the report's part could not be written: " + platform::lastError());
}

const char* const kReportHeader =
    "file\thandle\tentity type\towning block\tstyle\tfont file\tfont type\tbackwards\tstatus\told text\tnew text\tnote\n";

// Closes a file written, its data on the disk first; false with the reason.
// The file is closed (and f empty) either way.
bool finishWriting(std::FILE*& f, std::string& why) {
    bool ok = !std::ferror(f);
    if (!ok) why = platform::lastError();
    if (ok) ok = platform::flushToDisk(f, why);
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        why = platform::lastError();
    }
    f = nullptr;
    return ok;
}

struct Outcome {
    bool ok = false;
    Counts counts;
};

class Batch {
public:
    Batch(const CommandLine& c, const Options& options, std::vector<Job> jobs, std::FILE* err)
        : command_(c), options_(&options), jobs_(std::move(jobs)), err_(err), outcomes_(jobs_.size()),
          parts_(jobs_.size()), facts_(jobs_.size()), progress_(!c.quiet && platform::isTerminal(err)) {}

    // The first pass over every drawing: it only reads. A drawing that
    // cannot be read fails in the second, which says why.
    FontsSeen readFonts() {
        FontsSeen all;
        std::mutex merging;
        inParallel([&] {
            const auto surface = hebrew::makeLeftToRightSurface();
            FontsSeen mine;
            for (std::size_t i = next_++; i < jobs_.size(); i = next_++) {
                if (!jobs_[i].error.empty()) continue;
                std::FILE* in = platform::openFile(jobs_[i].input, "rb");
                if (!in) continue;
                try {
                    FontsSeen drawing = mine;
                    facts_[i] = readDrawingFonts(in, *options_, *surface, drawing);
                    mine = std::move(drawing);
                } catch (const std::exception&) {
                }
                std::fclose(in);
            }
            std::lock_guard<std::mutex> lock(merging);
            for (auto& [key, seen] : mine) {
                FontSeen& font = all[key];
                if (font.fontFile.empty()) font.fontFile = seen.fontFile;
                font.evidence.merge(seen.evidence);
            }
        });
        next_ = 0;
        return all;
    }

    void run(const Options& options) {
        options_ = &options;
        inParallel([this] { work(); });
        if (progress_) std::fputc('\n', err_);
    }

    const std::vector<Outcome>& outcomes() const { return outcomes_; }
    // The report's rows of a drawing migrated, in a temporary file; empty
    // for a drawing that failed.
    const fs::path& reportPart(std::size_t index) const { return parts_[index]; }

private:
    template <class Work>
    void inParallel(Work work) {
        unsigned n = command_.jobs ? command_.jobs : std::max(1u, std::thread::hardware_concurrency());
        n = static_cast<unsigned>(std::min<std::size_t>(n, jobs_.size()));
        std::vector<std::thread> workers;
        for (unsigned i = 1; i < n; ++i) workers.emplace_back(work);
        work();
        for (std::thread& t : workers) t.join();
    }

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
            fail(job, 0, "the drawing could not be opened: " + platform::lastError());
            return {};
        }
        Outcome outcome;
        std::string problem;
        unsigned long long line = 0;
        std::FILE* out = nullptr;
        std::FILE* part = nullptr;
        fs::path temporary, partPath;
        try {
            if (job.output) {
                std::error_code ec;
                if (!job.output->parent_path().empty()) fs::create_directories(job.output->parent_path(), ec);
                std::string why;
                out = temporaries().create(*job.output, temporary, why);
                if (!out) throw BadDrawing(0, "the output " + utf8Of(*job.output) + " could not be created: " + why);
                platform::takePermissionsOf(out, *job.output);
            }
            if (command_.reportFile) {
                std::string why;
                part = temporaries().create(pathOf(*command_.reportFile), partPath, why);
                if (!part) throw BadDrawing(0, "the report's part could not be created beside " + *command_.reportFile +
                                                   ": " + why);
            }
            const RowSink rows = part ? RowSink([&](const TextRow& row) { writeRow(part, job.name, row); }) : RowSink();
            outcome.counts = migrateDrawing(in, out, *options_, surface, rows, facts_[index]);
            if (part) closeChecked(part, "the report's part beside " + *command_.reportFile);
            if (out) closeChecked(out, "the output " + utf8Of(*job.output));
            std::string why;
            if (job.output && !temporaries().publish(temporary, *job.output, why))
                throw BadDrawing(0, "the migrated drawing could not be renamed to " + utf8Of(*job.output) + ": " + why);
            outcome.ok = true;
        } catch (const BadDrawing& e) {
            problem = e.what();
            line = e.line;
        } catch (const std::exception& e) {
            problem = e.what();
        }
        std::fclose(in);
        if (part) std::fclose(part);
        if (out) std::fclose(out);
        if (!outcome.ok) {
            if (!temporary.empty()) temporaries().remove(temporary);
            if (!partPath.empty()) temporaries().remove(partPath);
            fail(job, line, problem);
        } else {
            parts_[index] = partPath;
        }
        return outcome;
    }

    static void closeChecked(std::FILE*& f, const std::string& what) {
        std::string why;
        if (!finishWriting(f, why)) throw BadDrawing(0, what + " could not be written: " + why);
    }

    const CommandLine& command_;
    const Options* options_;
    std::vector<Job> jobs_;
    std::FILE* err_;
    std::vector<Outcome> outcomes_;
    std::vector<fs::path> parts_;
    std::vector<DrawingFacts> facts_;
    bool progress_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::size_t done_ = 0, failed_ = 0;
    unsigned long long converted_ = 0;
};

// The parts of the report in the order of the drawings, behind one header,
// published only when every byte is written: an earlier report stays
// otherwise. Empty, or why it failed.
std::string writeReport(const Batch& batch, const fs::path& report, std::size_t jobs) {
    fs::path temporary;
    std::string why;
    std::FILE* f = temporaries().create(report, temporary, why);
    if (!f) return "could not be created: " + why;
    bool ok = std::fputs(kReportHeader, f) >= 0;
    std::vector<char> buffer(1 << 16);
    for (std::size_t i = 0; ok && i < jobs; ++i) {
        const fs::path& part = batch.reportPart(i);
        if (part.empty()) continue;
        std::FILE* p = platform::openFile(part, "rb");
        if (!p) {
            why = "its part " + utf8Of(part) + " could not be read: " + platform::lastError();
            ok = false;
            break;
        }
        for (std::size_t n; ok && (n = std::fread(buffer.data(), 1, buffer.size(), p)) > 0;)
            ok = std::fwrite(buffer.data(), 1, n, f) == n;
        if (std::ferror(p)) {
            why = "its part " + utf8Of(part) + " could not be read: " + platform::lastError();
            ok = false;
        }
        std::fclose(p);
    }
    if (ok) {
        ok = finishWriting(f, why);
    } else {
        if (why.empty()) why = platform::lastError();
        std::fclose(f);
    }
    if (ok && !temporaries().publish(temporary, report, why)) ok = false;
    if (!ok) temporaries().remove(temporary);
    for (std::size_t i = 0; i < jobs; ++i)
        if (!batch.reportPart(i).empty()) temporaries().remove(batch.reportPart(i));
    return ok ? std::string() : (why.empty() ? "could not be written" : "could not be written: " + why);
}

// The decision of every font of the styles, for the user.
void showDecisions(const FontsSeen& fonts, const Options& options, std::FILE* out) {
    for (const auto& [key, seen] : fonts) {
        const FontDecision d = decideFont(seen.fontFile, options);
        std::fprintf(out, "vornmigrate: font %s: %s\n", hebrew::utf16ToUtf8(seen.fontFile.empty() ? u"(none)" : seen.fontFile).c_str(),
                     d.how.c_str());
    }
}

// The map lines of the fonts decided from their texts, in the font map's
// form; published only when complete, like every file this tool writes.
std::string writeLearnedMap(const FontsSeen& fonts, const Options& options, const fs::path& file) {
    std::string text = "; Fonts read from their texts by vornmigrate\r\n[Fonts]\r\n";
    for (const auto& [key, seen] : fonts) {
        if (seen.evidence.texts() == 0) continue;
        const FontDecision d = decideFont(seen.fontFile, options);
        if (d.unsure || !d.guess.sure()) continue;
        text += hebrew::utf16ToUtf8(key) + "=" + hebrew::utf16ToUtf8(hebrew::fontTypeRow(d.type).mapName) + "\r\n";
    }
    fs::path temporary;
    std::string why;
    std::FILE* f = temporaries().create(file, temporary, why);
    if (!f) return "could not be created: " + why;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (!ok) why = platform::lastError();
    if (ok) ok = finishWriting(f, why);
    else std::fclose(f);
    if (ok && !temporaries().publish(temporary, file, why)) ok = false;
    if (!ok) temporaries().remove(temporary);
    return ok ? std::string() : "could not be written: " + why;
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

void removeTemporariesOnInterrupt() {
    platform::onInterrupt([] {
        temporaries().removeAllAndHold();
        static const char message[] = "vornmigrate: interrupted; its unfinished files are removed\n";
        std::fwrite(message, 1, sizeof message - 1, stderr);
    });
}

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
    if (std::string bad = checkOutputs(jobs, c.reportFile, c.learnMapFile); !bad.empty()) {
        std::fprintf(err, "vornmigrate: %s\n", bad.c_str());
        return kBadUsage;
    }
    reportLeftovers(jobs, c.reportFile, err);
    const std::size_t total = jobs.size();
    Batch batch(c, options, std::move(jobs), err);
    const FontsSeen fonts = batch.readFonts();
    for (const auto& [key, seen] : fonts)
        if (seen.evidence.texts() > 0) options.guesses[key] = seen.evidence.guess();
    if (!c.quiet) showDecisions(fonts, options, out);
    std::size_t mapFailed = 0;
    if (c.learnMapFile)
        if (std::string why = writeLearnedMap(fonts, options, pathOf(*c.learnMapFile)); !why.empty()) {
            std::fprintf(err, "vornmigrate: the learned font map %s %s\n", c.learnMapFile->c_str(), why.c_str());
            mapFailed = 1;
        }
    batch.run(options);

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
    if (c.reportFile)
        if (std::string why = writeReport(batch, pathOf(*c.reportFile), total); !why.empty()) {
            std::fprintf(err, "vornmigrate: the report %s %s; an earlier report is kept\n", c.reportFile->c_str(),
                         why.c_str());
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
    return failed || mapFailed ? kSomeFailed : kAllMigrated;
}

}  // namespace vornmigrate
