#include "designfile/kicadschematic.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <unordered_map>

#include "designfile/kicadorder.h"
#include "designfile/kicadpart.h"
#include "designfile/sexpr.h"

namespace vexlo::designfile {

namespace {

using design::Attribute;
using Item = SexprReader::Item;
using Kind = SexprReader::Kind;

// Files before this version wrote "~" for an empty field value.
constexpr long tildeIsTextFrom = 20250318;
// Files before this version wrote a variant's BOM flag as "excluded from the BOM".
constexpr long variantBomSenseFrom = 20260306;

// A variant's marks on one instance of a symbol or a sheet.
struct VariantMarks {
    std::string name;
    std::optional<bool> dnp;
    std::optional<bool> inBom;  // as written; its sense depends on the file version
    std::vector<Attribute> fields;
};

// One use of a symbol or a sheet: the sheet path it is placed under, and what that use gives.
struct InstancePath {
    std::string path;
    std::string reference;
    std::string page;                  // a sheet's page number (7.0 and later)
    std::optional<std::string> value;  // 6.0 symbol_instances only
    std::optional<std::string> footprint;
    std::vector<VariantMarks> variants;
};

struct Field {
    std::string name;
    std::string value;
    int id = -1;
};

struct PlacedSymbol {
    std::size_t offset = 0;
    std::string libId;
    std::string libName;
    std::string uuid;
    bool inBom = true;
    bool dnp = false;
    std::vector<Field> fields;
    std::vector<InstancePath> instances;
};

struct SheetUse {
    std::size_t offset = 0;
    std::string uuid;
    std::string name;
    std::string file;
    bool inBom = true;
    bool dnp = false;
    std::vector<InstancePath> instances;
};

struct SheetFile {
    std::string path;
    std::string text;
    long version = 0;
    std::string uuid;
    std::unordered_map<std::string, std::vector<Attribute>> libSymbols;
    std::vector<PlacedSymbol> symbols;
    std::vector<SheetUse> sheets;
    std::unordered_map<std::string, InstancePath> symbolInstances;  // 6.0 roots, by full path
    // A root's sheet_instances: page numbers by path without the root ("/" the root's own).
    std::unordered_map<std::string, std::string> sheetPages;
};

bool equalsIgnoringCase(std::string_view left, std::string_view right) noexcept {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(a) == lower(b);
    });
}

// The name KiCad gives a mandatory field, matched in any letter case; the name as written for
// any other field.
std::string fieldName(std::string name) {
    static const char* const mandatory[] = {"Reference", "Value", "Footprint", "Datasheet",
                                            "Description"};
    for (const char* canonical : mandatory) {
        if (equalsIgnoringCase(name, canonical)) {
            return canonical;
        }
    }
    return name;
}

// The parser of one schematic file.
class SheetParser {
public:
    SheetParser(SheetFile& file) : file_(file), reader_(file.text, file.path) {}

    void parse() {
        const Item top = reader_.top();
        if (top.raw != "kicad_sch") {
            reader_.failAt(top.offset, "not a KiCad schematic: it starts with \"(" +
                                           std::string(top.raw) + "\", not \"(kicad_sch\"");
        }
        Item item;
        while (reader_.nextList(item)) {
            if (item.raw == "version") {
                version(item);
            } else if (file_.version == 0) {
                reader_.failAt(item.offset, "the schematic gives no version before its content");
            } else if (item.raw == "uuid") {
                file_.uuid = reader_.listValue("a uuid");
            } else if (item.raw == "lib_symbols") {
                libSymbols();
            } else if (item.raw == "symbol") {
                file_.symbols.push_back(placedSymbol(item.offset));
            } else if (item.raw == "sheet") {
                file_.sheets.push_back(sheet(item.offset));
            } else if (item.raw == "symbol_instances" || item.raw == "sheet_instances") {
                instanceList(item.raw == "sheet_instances");
            } else {
                reader_.skip();
            }
        }
        if (file_.version == 0) {
            reader_.failAt(top.offset, "the schematic gives no version");
        }
        reader_.end();
    }

private:
    void version(const Item& item) {
        const std::string text = reader_.listValue("a version number");
        char* end = nullptr;
        const long number = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || number <= 0) {
            reader_.failAt(item.offset, "the version " + inQuotes(text) + " is not a file version");
        }
        if (number > newestSchematicVersion) {
            fail(file_.path, "KiCad schematic version " + text +
                                 " is newer than this program reads (up to " +
                                 std::to_string(newestSchematicVersion) +
                                 ", KiCad 10.0): save the design with KiCad 10.0, or update "
                                 "Vexlo");
        }
        file_.version = number;
    }

    // (flag yes|no), or a bare (flag) for yes.
    bool yesNo() {
        Item item;
        if (!reader_.next(item)) {
            return true;
        }
        if (item.kind == Kind::List) {
            reader_.failAt(item.offset, "expected yes or no, not a list");
        }
        reader_.skip();
        return reader_.value(item) != "no";
    }

    std::string fieldValue(std::string value) const {
        if (file_.version < tildeIsTextFrom && value == "~") {
            value.clear();
        }
        return value;
    }

    // (property [private] "name" "value" (id N) ...)
    Field property() {
        Field field;
        Item item;
        std::size_t texts = 0;
        while (reader_.next(item)) {
            if (item.kind == Kind::List && item.raw == "id") {
                field.id = std::atoi(reader_.listValue("a field id").c_str());
            } else if (item.kind == Kind::List) {
                reader_.skip();
            } else if (item.kind == Kind::String || texts > 0 || item.raw != "private") {
                (texts++ == 0 ? field.name : field.value) = reader_.value(item);
            }
        }
        field.value = fieldValue(std::move(field.value));
        return field;
    }

    void libSymbols() {
        Item item;
        while (reader_.nextList(item)) {
            if (item.raw != "symbol") {
                reader_.skip();
                continue;
            }
            std::string name = reader_.nextValue("a library symbol's name");
            std::vector<Attribute> fields;
            std::string description, keywords;
            Item part;
            while (reader_.nextList(part)) {
                if (part.raw == "property") {
                    Field field = property();
                    if (field.name == "ki_description") {
                        description = std::move(field.value);
                    } else if (field.name == "ki_keywords") {
                        keywords = std::move(field.value);
                    } else if (!field.name.starts_with("ki_")) {
                        fields.push_back(
                            {fieldName(std::move(field.name)), std::move(field.value)});
                    }
                } else {
                    reader_.skip();
                }
            }
            if (!description.empty()) {
                fields.push_back({"Description", std::move(description)});
            }
            if (!keywords.empty()) {
                fields.push_back({"Keywords", std::move(keywords)});
            }
            file_.libSymbols.emplace(std::move(name), std::move(fields));
        }
    }

    // (variant (name "V") (dnp yes) (in_bom no) (field (name "F") (value "x")) ...)
    VariantMarks variant() {
        VariantMarks marks;
        Item item;
        while (reader_.nextList(item)) {
            if (item.raw == "name") {
                marks.name = reader_.listValue("a variant name");
            } else if (item.raw == "dnp") {
                marks.dnp = yesNo();
            } else if (item.raw == "in_bom") {
                marks.inBom = yesNo();
            } else if (item.raw == "field") {
                Attribute field;
                Item part;
                while (reader_.nextList(part)) {
                    if (part.raw == "name" || part.raw == "value") {
                        (part.raw == "name" ? field.Name : field.Value) =
                            reader_.nextValue("a variant field's name or value");
                    }
                    reader_.skip();
                }
                marks.fields.push_back({fieldName(std::move(field.Name)), std::move(field.Value)});
            } else {
                reader_.skip();
            }
        }
        return marks;
    }

    // (path "/..." (reference "R1") (unit 1) (value ...) (footprint ...) (variant ...) ...)
    InstancePath instancePath() {
        InstancePath instance;
        instance.path = reader_.nextValue("an instance path");
        Item item;
        while (reader_.nextList(item)) {
            if (item.raw == "reference") {
                instance.reference = reader_.listValue("a designator");
            } else if (item.raw == "value") {
                instance.value = fieldValue(reader_.listValue("a value"));
            } else if (item.raw == "footprint") {
                instance.footprint = fieldValue(reader_.listValue("a footprint"));
            } else if (item.raw == "variant") {
                instance.variants.push_back(variant());
            } else if (item.raw == "page") {
                instance.page = reader_.listValue("a page number");
            } else {
                reader_.skip();
            }
        }
        return instance;
    }

    // (instances (project "name" (path ...) ...) ...)
    std::vector<InstancePath> instances() {
        std::vector<InstancePath> paths;
        Item project;
        while (reader_.nextList(project)) {
            if (project.raw != "project") {
                reader_.skip();
                continue;
            }
            Item item;
            while (reader_.nextList(item)) {
                if (item.raw == "path") {
                    paths.push_back(instancePath());
                } else {
                    reader_.skip();
                }
            }
        }
        return paths;
    }

    PlacedSymbol placedSymbol(std::size_t offset) {
        PlacedSymbol symbol;
        symbol.offset = offset;
        Item item;
        while (reader_.nextList(item)) {
            if (item.raw == "lib_id" || item.raw == "lib_name" || item.raw == "uuid") {
                (item.raw == "lib_id"     ? symbol.libId
                 : item.raw == "lib_name" ? symbol.libName
                                          : symbol.uuid) = reader_.listValue("a name");
            } else if (item.raw == "in_bom") {
                symbol.inBom = yesNo();
            } else if (item.raw == "dnp") {
                symbol.dnp = yesNo();
            } else if (item.raw == "property") {
                symbol.fields.push_back(property());
            } else if (item.raw == "instances") {
                symbol.instances = instances();
            } else {
                reader_.skip();
            }
        }
        return symbol;
    }

    SheetUse sheet(std::size_t offset) {
        SheetUse sheet;
        sheet.offset = offset;
        Item item;
        while (reader_.nextList(item)) {
            if (item.raw == "uuid") {
                sheet.uuid = reader_.listValue("a uuid");
            } else if (item.raw == "in_bom") {
                sheet.inBom = yesNo();
            } else if (item.raw == "dnp") {
                sheet.dnp = yesNo();
            } else if (item.raw == "property") {
                sheetProperty(sheet, property());
            } else if (item.raw == "instances") {
                sheet.instances = instances();
            } else {
                reader_.skip();
            }
        }
        return sheet;
    }

    // The sheet's name and file: by their ids where the file gives them (6.0 files name these
    // fields in the user's language), else by their names.
    static void sheetProperty(SheetUse& sheet, Field field) {
        const bool isName = field.id >= 0 ? field.id == 0 : field.name == "Sheetname";
        const bool isFile = field.id >= 0 ? field.id == 1 : field.name == "Sheetfile";
        if (isName) {
            sheet.name = std::move(field.value);
        } else if (isFile) {
            sheet.file = std::move(field.value);
        }
    }

    // A root's (symbol_instances (path ...) ...) or (sheet_instances (path ...) ...).
    void instanceList(bool sheets) {
        Item item;
        while (reader_.nextList(item)) {
            if (item.raw != "path") {
                reader_.skip();
                continue;
            }
            InstancePath instance = instancePath();
            if (sheets) {
                file_.sheetPages.emplace(std::move(instance.path), std::move(instance.page));
            } else {
                std::string path = instance.path;
                file_.symbolInstances.emplace(std::move(path), std::move(instance));
            }
        }
    }

    SheetFile& file_;
    SexprReader reader_;
};

// A sheet instance as the walk keeps it until its parts are placed in KiCad's order: the sheet
// that places it and the instance above it, from which its paths are made again.
struct SheetInstance {
    const SheetFile* file = nullptr;
    const SheetFile* root = nullptr;  // its top-level sheet's file
    const SheetUse* use = nullptr;    // none for a top-level sheet
    std::size_t above = 0;            // the instance that holds it
    std::string topPath;              // a top-level sheet's: "/<uuid>"
    std::string_view page;            // its page number, which orders the sheets
    bool dnp = false;
    bool excluded = false;
};

// One sheet instance with its paths made.
struct Frame {
    std::size_t index = 0;  // its SheetInstance
    const SheetFile* file = nullptr;
    const SheetFile* root = nullptr;
    std::string path;       // the instance path, root uuid first: "/<root>/<sheet>"
    std::string path6;      // the same without the root: how 6.0 roots key their symbols
    std::string sheetpath;  // "/", "/Power/"
    bool dnp = false;
    bool excluded = false;
};

// A placed symbol of one sheet instance and the instance entry that gives its designator.
struct Placement {
    const PlacedSymbol* symbol;
    const InstancePath* instance;
};

// The walk over a whole hierarchy.
class Flattener {
public:
    Flattener(const ReadOptions& options) : options_(options) {}

    // Finds the sheet instances below a top-level sheet, and loads their files.
    void walkTopLevel(const TopLevelSheet& top) {
        ++sheetCount;
        const std::string key = canonical(top.file);
        const SheetFile& file = load(top.file, key, nullptr, 0, "");
        if (!countPlacedSymbols(file)) {
            fail(top.file, tooManySymbols("the root sheet", file));
        }
        SheetInstance instance;
        instance.file = instance.root = &file;
        instance.topPath = "/" + (top.uuid.empty() ? file.uuid : top.uuid);
        instance.page = pageOf(file, "/");
        instances_.push_back(std::move(instance));
        ancestors_.assign(1, key);
        walk(frameOf(instances_.size() - 1));
    }

    // Places the parts as KiCad lists them: the sheet instances by page number, each one's
    // symbols by designator (units of one part, and equal designators, as the files have them).
    void placeInKicadOrder() {
        std::vector<std::size_t> order(instances_.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        const auto nameOf = [this](std::size_t index) -> std::string_view {
            const SheetUse* use = instances_[index].use;
            return use == nullptr ? std::string_view() : use->name;
        };
        std::stable_sort(order.begin(), order.end(), [&](std::size_t left, std::size_t right) {
            return pageOrderLess(instances_[left].page, nameOf(left), instances_[right].page,
                                 nameOf(right));
        });
        for (const std::size_t index : order) {
            placeSheet(frameOf(index));
        }
    }

    void checkVariant(const KicadProject& project, const std::string& path) const {
        if (options_.variant.empty()) {
            return;
        }
        // The project lists its variants; the sheets may hold marks of more.
        std::vector<std::string> known = project.variants;
        for (const std::string& name : seen_) {
            if (std::find(known.begin(), known.end(), name) == known.end()) {
                known.push_back(name);
            }
        }
        if (std::find(known.begin(), known.end(), options_.variant) != known.end()) {
            return;
        }
        std::string names;
        for (const std::string& name : known) {
            names += (names.empty() ? "" : ", ") + inQuotes(name);
        }
        fail(path, "no variant named " + inQuotes(options_.variant) +
                       (known.empty() ? ": the design has no variants"
                                      : ": the design has the variants " + names));
    }

    design::FlattenedDesign design;
    UnannotatedParts unannotated;
    std::size_t sheetCount = 0;
    long newestVersion = 0;
    std::vector<std::string> sheetFiles;  // each file read, once, in the order first read

private:
    static std::string canonical(const std::string& path) {
        std::error_code ignored;
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ignored);
        return resolved.empty() ? path : resolved.string();
    }

    const SheetFile& load(const std::string& path, const std::string& key, const Frame* parent,
                          std::size_t offset, const std::string& sheetName) {
        auto found = files_.find(key);
        if (found != files_.end()) {
            return *found->second;
        }
        auto file = std::make_unique<SheetFile>();
        file->path = path;
        try {
            file->text = readFileBytes(path);
        } catch (const Error& error) {
            if (parent == nullptr) {
                throw;
            }
            failAt(parent->file->path, parent->file->text, offset,
                   "the sheet " + inQuotes(sheetName) + " refers to " + inQuotes(path) +
                       ", which cannot be read: " + error.description);
        }
        sheetFiles.push_back(path);
        SheetParser(*file).parse();
        newestVersion = std::max(newestVersion, file->version);
        noteVariants(*file);
        sortInstances(*file);
        return *files_.emplace(key, std::move(file)).first->second;
    }

    void noteVariants(const SheetFile& file) {
        const auto note = [this](const std::vector<InstancePath>& instances) {
            for (const InstancePath& instance : instances) {
                for (const VariantMarks& marks : instance.variants) {
                    if (std::find(seen_.begin(), seen_.end(), marks.name) == seen_.end()) {
                        seen_.push_back(marks.name);
                    }
                }
            }
        };
        for (const PlacedSymbol& symbol : file.symbols) {
            note(symbol.instances);
        }
        for (const SheetUse& sheet : file.sheets) {
            note(sheet.instances);
        }
    }

    static bool pathLess(const InstancePath& left, const InstancePath& right) {
        return left.path < right.path;
    }

    // Each symbol's and sheet's instances by path (the first of a path first), so that finding
    // one costs a search, not a scan: a sheet used N times has N instances of each symbol.
    static void sortInstances(SheetFile& file) {
        for (PlacedSymbol& symbol : file.symbols) {
            std::stable_sort(symbol.instances.begin(), symbol.instances.end(), pathLess);
        }
        for (SheetUse& sheet : file.sheets) {
            std::stable_sort(sheet.instances.begin(), sheet.instances.end(), pathLess);
        }
    }

    const VariantMarks* chosenVariant(const InstancePath* instance) const {
        if (instance == nullptr || options_.variant.empty()) {
            return nullptr;
        }
        for (const VariantMarks& marks : instance->variants) {
            if (marks.name == options_.variant) {
                return &marks;
            }
        }
        return nullptr;
    }

    // A variant's mark, where it gives one, replaces the symbol's or the sheet's own: KiCad
    // writes a variant's marks only where they differ.
    static bool doNotPopulate(bool own, const VariantMarks* marks) {
        return marks != nullptr && marks->dnp ? *marks->dnp : own;
    }

    static bool excludedFromBom(bool ownInBom, const VariantMarks* marks, long version) {
        if (marks == nullptr || !marks->inBom) {
            return !ownInBom;
        }
        return version < variantBomSenseFrom ? *marks->inBom : !*marks->inBom;
    }

    static const InstancePath* instanceAt(const std::vector<InstancePath>& instances,
                                          const std::string& path) {
        const auto found =
            std::lower_bound(instances.begin(), instances.end(), path,
                             [](const InstancePath& instance, const std::string& wanted) {
                                 return instance.path < wanted;
                             });
        return found != instances.end() && found->path == path ? &*found : nullptr;
    }

    void walk(const Frame& frame) {
        for (const SheetUse& sheet : frame.file->sheets) {
            descend(frame, sheet);
        }
    }

    static std::string_view pageOf(const SheetFile& root, const std::string& path6) {
        const auto found = root.sheetPages.find(path6.empty() ? "/" : path6);
        return found == root.sheetPages.end() ? std::string_view() : found->second;
    }

    // The instance's paths, made from the instances above it.
    Frame frameOf(std::size_t index) const {
        std::vector<const SheetUse*> uses;
        std::size_t top = index;
        for (; instances_[top].use != nullptr; top = instances_[top].above) {
            uses.push_back(instances_[top].use);
        }
        const SheetInstance& instance = instances_[index];
        Frame frame{index, instance.file, instance.root, instances_[top].topPath,
                    {},    "/",           instance.dnp,  instance.excluded};
        for (auto use = uses.rbegin(); use != uses.rend(); ++use) {
            frame.path += "/" + (*use)->uuid;
            frame.path6 += "/" + (*use)->uuid;
            frame.sheetpath += (*use)->name + "/";
        }
        return frame;
    }

    // Counts the symbols a sheet instance places, before any is placed: false past the most a
    // design may hold, so that a hierarchy that would place millions is refused at once.
    bool countPlacedSymbols(const SheetFile& file) {
        placedSymbols_ += file.symbols.size();
        return placedSymbols_ <= design::maxDesignComponents;
    }

    static std::string tooManySymbols(const std::string& sheet, const SheetFile& file) {
        return sheet + " places " + std::to_string(file.symbols.size()) + " symbols, past the " +
               std::to_string(design::maxDesignComponents) +
               " placed symbols a design may hold (units, power symbols and parts left out "
               "counted)";
    }

    // Refuses a sheet that names no file, that contains itself, or that passes the bounds of a
    // hierarchy; counts it.
    void checkSheet(const SheetFile& parent, const SheetUse& sheet, const std::string& key,
                    const std::string& sheetpath) {
        const auto refuse = [&](const std::string& problem) {
            failAt(parent.path, parent.text, sheet.offset,
                   "the sheet " + inQuotes(sheet.name) + " " + problem);
        };
        if (sheet.file.empty()) {
            refuse("names no file");
        }
        if (std::find(ancestors_.begin(), ancestors_.end(), key) != ancestors_.end()) {
            refuse("(" + inQuotes(sheet.file) +
                   ") contains itself: KiCad refuses such a hierarchy too");
        }
        if (ancestors_.size() >= maxSheetDepth) {
            refuse("(" + inQuotes(sheetpath) + ") lies deeper than the " +
                   std::to_string(maxSheetDepth) + " levels a hierarchy may have");
        }
        if (++sheetCount > maxSheetInstances) {
            refuse("(" + inQuotes(sheetpath) + ") is one sheet instance more than the " +
                   std::to_string(maxSheetInstances) +
                   " a hierarchy may hold: a sheet used more than once on each of many levels "
                   "multiplies them");
        }
    }

    void descend(const Frame& frame, const SheetUse& sheet) {
        const SheetFile& parent = *frame.file;
        const auto& [path, key] = resolved(parent, sheet);
        const std::string sheetpath = frame.sheetpath + sheet.name + "/";
        checkSheet(parent, sheet, key, sheetpath);
        SheetInstance child;
        child.file = &load(path, key, &frame, sheet.offset, sheet.name);
        if (!countPlacedSymbols(*child.file)) {
            failAt(parent.path, parent.text, sheet.offset,
                   tooManySymbols(
                       "the sheet " + inQuotes(sheet.name) + " (" + inQuotes(sheetpath) + ")",
                       *child.file));
        }
        child.root = frame.root;
        child.use = &sheet;
        child.above = frame.index;
        const InstancePath* use = instanceAt(sheet.instances, frame.path);
        child.page = use != nullptr && !use->page.empty()
                         ? std::string_view(use->page)
                         : pageOf(*frame.root, frame.path6 + "/" + sheet.uuid);
        const VariantMarks* marks = chosenVariant(use);
        child.dnp = frame.dnp || doNotPopulate(sheet.dnp, marks);
        child.excluded = frame.excluded || excludedFromBom(sheet.inBom, marks, parent.version);
        const Frame next{instances_.size(),
                         child.file,
                         child.root,
                         frame.path + "/" + sheet.uuid,
                         frame.path6 + "/" + sheet.uuid,
                         sheetpath,
                         child.dnp,
                         child.excluded};
        instances_.push_back(std::move(child));
        ancestors_.push_back(key);
        walk(next);
        ancestors_.pop_back();
    }

    // The file a sheet names, as a path and as the key its contents are kept under: worked out
    // once per sheet, however often the sheet is walked.
    const std::pair<std::string, std::string>& resolved(const SheetFile& parent,
                                                        const SheetUse& sheet) {
        auto found = resolved_.find(&sheet);
        if (found == resolved_.end()) {
            const std::filesystem::path named(sheet.file);
            std::string path = named.is_absolute()
                                   ? sheet.file
                                   : (std::filesystem::path(parent.path).parent_path() / named)
                                         .lexically_normal()
                                         .string();
            std::string key = canonical(path);
            found = resolved_.emplace(&sheet, std::pair(std::move(path), std::move(key))).first;
        }
        return found->second;
    }

    // The instance of the symbol for this sheet path: its own instance list (7.0 and later),
    // else the root's symbol_instances (6.0).
    const InstancePath* instanceOf(const Frame& frame, const PlacedSymbol& symbol) const {
        if (const InstancePath* own = instanceAt(symbol.instances, frame.path)) {
            return own;
        }
        const auto found = frame.root->symbolInstances.find(frame.path6 + "/" + symbol.uuid);
        return found == frame.root->symbolInstances.end() ? nullptr : &found->second;
    }

    void placeSheet(const Frame& frame) {
        std::vector<Placement> placements;
        for (const PlacedSymbol& symbol : frame.file->symbols) {
            if (const InstancePath* instance = designatorOf(frame, symbol)) {
                placements.push_back({&symbol, instance});
            }
        }
        std::stable_sort(placements.begin(), placements.end(),
                         [](const Placement& left, const Placement& right) {
                             return compareKicadText(left.instance->reference,
                                                     right.instance->reference, true) < 0;
                         });
        for (const Placement& placement : placements) {
            place(frame, *placement.symbol, *placement.instance);
        }
    }

    // The symbol's instance on this sheet instance; none for a power symbol or flag without one.
    // A symbol that has none otherwise is refused.
    const InstancePath* designatorOf(const Frame& frame, const PlacedSymbol& symbol) {
        const SheetFile& file = *frame.file;
        const InstancePath* instance = instanceOf(frame, symbol);
        if (instance == nullptr) {
            const auto reference =
                std::find_if(symbol.fields.begin(), symbol.fields.end(),
                             [](const Field& f) { return fieldName(f.name) == "Reference"; });
            if (reference != symbol.fields.end() && isPowerOrFlag(reference->value)) {
                return nullptr;
            }
            failAt(file.path, file.text, symbol.offset,
                   "the symbol " + inQuotes(symbol.libId) + " on the sheet " +
                       inQuotes(frame.sheetpath) +
                       " has no designator for this project (no "
                       "instance path " +
                       inQuotes(frame.path) + "): open the project in KiCad and annotate it");
        }
        return instance;
    }

    void place(const Frame& frame, const PlacedSymbol& symbol, const InstancePath& placed) {
        const SheetFile& file = *frame.file;
        const InstancePath* instance = &placed;
        const VariantMarks* marks = chosenVariant(instance);
        if (isPowerOrFlag(instance->reference) || frame.excluded ||
            excludedFromBom(symbol.inBom, marks, file.version)) {
            return;
        }
        if (isUnannotated(instance->reference)) {
            unannotated.note(instance->reference);
            return;
        }
        KicadPart part;
        part.refdes = instance->reference;
        part.dnp = frame.dnp || doNotPopulate(symbol.dnp, marks);
        part.sheetpath = frame.sheetpath;
        const auto libSymbol =
            file.libSymbols.find(symbol.libName.empty() ? symbol.libId : symbol.libName);
        part.symbol = libSymbol == file.libSymbols.end() ? nullptr : &libSymbol->second;
        part.fields = fieldsOf(symbol, *instance, marks, part.symbol);
        addKicadPart(design, part);
    }

    static std::vector<Attribute> fieldsOf(const PlacedSymbol& symbol, const InstancePath& instance,
                                           const VariantMarks* marks,
                                           const std::vector<Attribute>* libFields) {
        std::vector<Attribute> fields;
        fields.reserve(symbol.fields.size() + 1);
        for (const Field& field : symbol.fields) {
            fields.push_back({fieldName(field.name), field.value});
            std::string& value = fields.back().Value;
            const std::string& name = fields.back().Name;
            if (name == "Reference") {
                value = instance.reference;
            } else if (name == "Value" && instance.value) {
                value = *instance.value;
            } else if (name == "Footprint" && instance.footprint) {
                value = *instance.footprint;
            } else if (name == "Description" && value.empty() && libFields != nullptr) {
                value = libraryDescription(*libFields);
            }
        }
        if (marks != nullptr) {
            for (const Attribute& changed : marks->fields) {
                const auto at = std::find_if(fields.begin(), fields.end(), [&](const Attribute& f) {
                    return f.Name == changed.Name;
                });
                if (at == fields.end()) {
                    fields.push_back(changed);
                } else {
                    at->Value = changed.Value;
                }
            }
        }
        return fields;
    }

    static std::string libraryDescription(const std::vector<Attribute>& libFields) {
        for (const Attribute& field : libFields) {
            if (field.Name == "Description") {
                return field.Value;
            }
        }
        return {};
    }

    const ReadOptions& options_;
    std::map<std::string, std::unique_ptr<SheetFile>> files_;
    std::unordered_map<const SheetUse*, std::pair<std::string, std::string>> resolved_;
    std::size_t placedSymbols_ = 0;
    std::vector<std::string> ancestors_;
    std::vector<std::string> seen_;
    std::vector<SheetInstance> instances_;
};

}  // namespace

LoadedDesign readKicadSchematic(const KicadProject& project, const std::string& folder,
                                const std::string& designName, const std::string& path,
                                const ReadOptions& options) {
    Flattener flattener(options);
    for (const TopLevelSheet& sheet : project.sheets) {
        flattener.walkTopLevel(sheet);
    }
    flattener.placeInKicadOrder();
    flattener.checkVariant(project, path);
    flattener.unannotated.refuse(path);

    LoadedDesign loaded;
    loaded.project = folder;
    loaded.document = Document{designName, folder};
    loaded.flattened = std::move(flattener.design);
    loaded.files = std::move(flattener.sheetFiles);
    loaded.summary = "KiCad schematic " + std::to_string(flattener.newestVersion) + ", " +
                     std::to_string(flattener.sheetCount) +
                     (flattener.sheetCount == 1 ? " sheet" : " sheets") +
                     (options.variant.empty() ? "" : ", variant " + inQuotes(options.variant));
    return loaded;
}

}  // namespace vexlo::designfile
