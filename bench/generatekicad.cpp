// Writes a generated KiCad 8 project (schematic version 20231120) for the design reader's
// benchmark: COUNT placed symbols (100,000 unless given) over 100 sheet instances. The root
// holds 9 instances of one channel sheet, each holding the same filter sheet, and 81 sheets of
// their own: reused files carry one instance path per use. Every sheet instance places
// COUNT / 100 symbols: power symbols, quad op-amps placed as four units, passives and the rest,
// with the fields, pins and library symbols KiCad writes. The output is the same on every run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "quotedtext.h"

namespace {

using vexlo::bench::quoted;

constexpr const char* projectName = "bench";
constexpr int channelCount = 9;
constexpr int boardCount = 81;
constexpr int sheetInstances = 1 + 2 * channelCount + boardCount;

// A uuid made from a number, so that the files are the same on every run.
std::string uuidOf(std::uint64_t key) {
    const auto mix = [](std::uint64_t x) {
        x += 0x9E3779B97F4A7C15ull;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return x ^ (x >> 31);
    };
    const std::uint64_t high = mix(key);
    const std::uint64_t low = mix(key ^ 0x5DEECE66Dull);
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-4%03x-8%03x-%012llx",
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>(high >> 16) & 0xFFFF,
                  static_cast<unsigned>(high) & 0xFFF, static_cast<unsigned>(low >> 48) & 0xFFF,
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
    return text;
}

// Hundredths of a millimetre as KiCad writes a coordinate: "30.48", "25.4", "-2.54".
std::string mm(long hundredths) {
    const bool negative = hundredths < 0;
    const long whole = (negative ? -hundredths : hundredths) / 100;
    const long part = (negative ? -hundredths : hundredths) % 100;
    std::string text = (negative ? "-" : "") + std::to_string(whole);
    if (part != 0) {
        text += '.' + std::to_string(part / 10) + (part % 10 != 0 ? std::to_string(part % 10) : "");
    }
    return text;
}

// Writes S-expressions laid out as KiCad 8 does: every list on a line of its own, indented by
// tabs; a list holding lists closes on a line of its own. Written out in pieces.
class SexprWriter {
public:
    explicit SexprWriter(const std::filesystem::path& path)
        : file_(path, std::ios::binary | std::ios::trunc) {}
    ~SexprWriter() { file_ << out_ << '\n'; }

    SexprWriter& open(std::string_view head) {
        if (!holdsLists_.empty()) {
            holdsLists_.back() = true;
            out_ += '\n';
            out_.append(holdsLists_.size(), '\t');
        }
        out_ += '(';
        out_ += head;
        holdsLists_.push_back(false);
        return *this;
    }
    SexprWriter& atom(std::string_view text) {
        out_ += ' ';
        out_ += text;
        return *this;
    }
    SexprWriter& text(std::string_view text) { return atom(quoted(text)); }
    SexprWriter& close() {
        if (holdsLists_.back()) {
            out_ += '\n';
            out_.append(holdsLists_.size() - 1, '\t');
        }
        out_ += ')';
        holdsLists_.pop_back();
        if (out_.size() > (1 << 20)) {
            file_ << out_;
            out_.clear();
        }
        return *this;
    }
    // A list of atoms alone: (at 1 2 0).
    SexprWriter& leaf(std::string_view head, std::string_view atoms) {
        return open(head).atom(atoms).close();
    }
    SexprWriter& leafText(std::string_view head, std::string_view text) {
        return open(head).text(text).close();
    }
    // Points, written on one line as KiCad 8 does.
    SexprWriter& points(const std::vector<std::pair<long, long>>& xy) {
        open("pts");
        out_ += '\n';
        out_.append(holdsLists_.size(), '\t');
        for (std::size_t i = 0; i < xy.size(); ++i) {
            out_ += (i == 0 ? "(xy " : " (xy ") + mm(xy[i].first) + ' ' + mm(xy[i].second) + ')';
        }
        holdsLists_.back() = true;
        return close();
    }

private:
    std::ofstream file_;
    std::string out_;
    std::vector<bool> holdsLists_;
};

// (effects (font (size 1.27 1.27)) [(justify ...)] [(hide yes)])
void effects(SexprWriter& out, bool hidden, std::string_view justify = {}) {
    out.open("effects").open("font").leaf("size", "1.27 1.27").close();
    if (!justify.empty()) {
        out.leaf("justify", justify);
    }
    if (hidden) {
        out.leaf("hide", "yes");
    }
    out.close();
}

void property(SexprWriter& out, std::string_view name, std::string_view value, long x, long y,
              bool hidden, std::string_view justify = {}) {
    out.open("property").text(name).text(value).leaf("at", mm(x) + ' ' + mm(y) + " 0");
    effects(out, hidden, justify);
    out.close();
}

void stroke(SexprWriter& out, std::string_view width) {
    out.open("stroke").leaf("width", width).leaf("type", "default").close();
}

void fill(SexprWriter& out, std::string_view type) {
    out.open("fill").leaf("type", type).close();
}

// A library symbol as the schematic carries it, and what its placed symbols are given.
struct Part {
    const char* libId;
    const char* prefix;
    const char* description;
    const char* keywords;
    std::vector<const char*> values;
    const char* footprint;
    const char* manufacturer;
    const char* mpnPrefix;
    int pins = 2;  // per unit
    int units = 1;
    bool power = false;
};

const std::vector<Part>& parts() {
    static const std::vector<Part> all = {
        {"Device:R",
         "R",
         "Resistor",
         "R res resistor",
         {"10k", "4.7k", "1k", "100k", "22", "330", "47k", "2.2k"},
         "Resistor_SMD:R_0603_1608Metric",
         "Yageo",
         "RC0603FR-07"},
        {"Device:C",
         "C",
         "Unpolarized capacitor",
         "cap capacitor",
         {"100nF", "1uF", "10uF", "22pF", "4.7uF", "10nF"},
         "Capacitor_SMD:C_0603_1608Metric",
         "Murata",
         "GRM188R71-"},
        {"Device:L",
         "L",
         "Inductor",
         "inductor choke coil reactor magnetic",
         {"10uH", "4.7uH", "1uH"},
         "Inductor_SMD:L_1210_3225Metric",
         "Würth Elektronik",
         "74438357-"},
        {"Device:D",
         "D",
         "Diode",
         "diode",
         {"1N4148W", "BAT54"},
         "Diode_SMD:D_SOD-123",
         "onsemi",
         "SOD-"},
        {"Device:Q_NPN_BEC",
         "Q",
         "NPN transistor, base/emitter/collector",
         "transistor NPN",
         {"MMBT3904"},
         "Package_TO_SOT_SMD:SOT-23",
         "Nexperia",
         "NX-",
         3},
        {"Connector_Generic:Conn_01x04",
         "J",
         "Generic connector, single row, 01x04, script generated (kicad-library-utils/schlib/"
         "autogen/connector/)",
         "connector",
         {"Conn_01x04"},
         "Connector_PinHeader_2.54mm:PinHeader_1x04_P2.54mm_Vertical",
         "Molex",
         "22-28-",
         4},
        {"Amplifier_Operational:LM324",
         "U",
         "Low-Power, Quad-Operational Amplifiers, SOIC-14",
         "quad opamp",
         {"LM324"},
         "Package_SO:SOIC-14_3.9x8.7mm_P1.27mm",
         "Texas Instruments",
         "LM324DR-",
         3,
         4},
        {"power:GND",
         "#PWR",
         "Power symbol creates a global label with name \"GND\" , ground",
         "global power",
         {"GND"},
         "",
         "",
         "",
         1,
         1,
         true},
        {"power:+3V3",
         "#PWR",
         "Power symbol creates a global label with name \"+3V3\"",
         "global power",
         {"+3V3"},
         "",
         "",
         "",
         1,
         1,
         true},
    };
    return all;
}

enum PartIndex {
    Resistor,
    Capacitor,
    Inductor,
    Diode,
    Transistor,
    Connector,
    OpAmp,
    Ground,
    Supply
};

std::string_view symbolName(const Part& part) {
    const std::string_view id = part.libId;
    return id.substr(id.find(':') + 1);
}

void libraryPin(SexprWriter& out, int number, long x, long y, int angle, bool power) {
    out.open("pin").atom(power ? "power_in" : "passive").atom("line");
    out.leaf("at", mm(x) + ' ' + mm(y) + ' ' + std::to_string(angle)).leaf("length", "1.27");
    if (power) {
        out.leaf("hide", "yes");
    }
    out.open("name").text("~");
    effects(out, false);
    out.close().open("number").text(std::to_string(number));
    effects(out, false);
    out.close().close();
}

// The drawing of one unit: a body and its pins.
void libraryUnit(SexprWriter& out, const Part& part, int unit) {
    const std::string name = std::string(symbolName(part));
    out.open("symbol").text(name + '_' + std::to_string(unit) + "_1");
    if (part.units > 1) {
        out.open("polyline").points({{-508, 508}, {508, 0}, {-508, -508}, {-508, 508}});
        stroke(out, "0.254");
        fill(out, "background");
        out.close();
    } else if (!part.power) {
        out.open("rectangle").leaf("start", "-1.016 -2.54").leaf("end", "1.016 2.54");
        stroke(out, "0.254");
        fill(out, "none");
        out.close();
    } else {
        out.open("polyline").points({{0, 0}, {0, -127}, {127, -127}, {0, -254}, {-127, -127}});
        stroke(out, "0");
        fill(out, "none");
        out.close();
    }
    for (int pin = 1; pin <= part.pins; ++pin) {
        const int number = (unit - 1) * part.pins + pin;
        libraryPin(out, number, pin == 1 ? -762 : 762, (pin - 2) * 254, pin == 1 ? 0 : 180,
                   part.power);
    }
    out.close();
}

void librarySymbol(SexprWriter& out, const Part& part) {
    out.open("symbol").text(part.libId);
    if (part.power) {
        out.open("power").close();
    }
    out.leaf("pin_numbers", "hide").open("pin_names").leaf("offset", "0").close();
    out.leaf("exclude_from_sim", "no").leaf("in_bom", "yes").leaf("on_board", "yes");
    property(out, "Reference", part.prefix, 203, 0, part.power);
    property(out, "Value", part.values.front(), 0, -254, false);
    property(out, "Footprint", "", -178, 0, true);
    property(out, "Datasheet", part.power ? "" : "~", 0, 0, true);
    property(out, "Description", part.description, 0, 0, true);
    property(out, "ki_keywords", part.keywords, 0, 0, true);
    if (!part.power) {
        property(out, "ki_fp_filters", std::string(part.prefix) + "_*", 0, 0, true);
    }
    for (int unit = 1; unit <= part.units; ++unit) {
        libraryUnit(out, part, unit);
    }
    out.close();
}

// One use of a sheet file: its instance path and its number, which its designators start from.
struct SheetInstance {
    std::string path;
    int number = 0;
};

// A sheet drawn on a sheet: the sub-sheet, and the page it has under each path of its parent.
struct SheetBlock {
    std::string uuid;
    std::string name;
    std::string file;
    std::vector<SheetInstance> pages;  // the parent's path, the page number
};

struct SheetFile {
    std::string file;
    std::string uuid;
    bool root = false;
    std::vector<SheetInstance> instances;
    std::vector<SheetBlock> blocks;
};

// The hierarchy: root, channels each holding a filter, and boards of their own.
std::vector<SheetFile> hierarchy() {
    SheetFile root{std::string(projectName) + ".kicad_sch", uuidOf(1), true, {}, {}};
    root.instances.push_back({"/" + root.uuid, 1});
    SheetFile channel{"channel.kicad_sch", uuidOf(2), false, {}, {}};
    SheetFile filter{"filter.kicad_sch", uuidOf(3), false, {}, {}};
    SheetBlock filterBlock{uuidOf(99), "Filter", filter.file, {}};
    std::vector<SheetFile> files;
    for (int k = 0; k < channelCount; ++k) {
        SheetBlock block{uuidOf(100 + k),
                         "Channel " + std::to_string(k + 1),
                         channel.file,
                         {{root.instances.front().path, 2 + k}}};
        const std::string path = root.instances.front().path + '/' + block.uuid;
        channel.instances.push_back({path, 2 + k});
        filterBlock.pages.push_back({path, 2 + channelCount + k});
        filter.instances.push_back({path + '/' + filterBlock.uuid, 2 + channelCount + k});
        root.blocks.push_back(std::move(block));
    }
    channel.blocks.push_back(filterBlock);
    files.push_back(std::move(channel));
    files.push_back(std::move(filter));
    for (int i = 0; i < boardCount; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "board_%02d.kicad_sch", i + 1);
        const int number = 2 + 2 * channelCount + i;
        SheetBlock block{uuidOf(200 + i),
                         "Board " + std::to_string(i + 1),
                         name,
                         {{root.instances.front().path, number}}};
        SheetFile board{name, uuidOf(1000 + i), false, {}, {}};
        board.instances.push_back({root.instances.front().path + '/' + block.uuid, number});
        root.blocks.push_back(std::move(block));
        files.push_back(std::move(board));
    }
    files.insert(files.begin(), std::move(root));
    return files;
}

// What slot `slot` of a sheet places: a power symbol every 25, runs of four op-amp units,
// then passives, diodes, transistors and connectors mixed as on a board.
PartIndex partAt(int slot) {
    const int inRun = slot % 25;
    if (inRun == 0) {
        return (slot / 25) % 2 == 0 ? Ground : Supply;
    }
    if (inRun <= 4 && (slot / 25) % 2 == 0) {
        return OpAmp;
    }
    const int mix = (slot * 37) % 100;
    return mix < 50   ? Resistor
           : mix < 80 ? Capacitor
           : mix < 85 ? Inductor
           : mix < 92 ? Diode
           : mix < 97 ? Transistor
                      : Connector;
}

// Writes one sheet file: its library symbols, its placed symbols with one instance path per
// use of the file, a wire for each, and its sub-sheets.
class SheetWriter {
public:
    SheetWriter(const SheetFile& sheet, int fileNumber, int placements, const std::string& folder)
        : sheet_(sheet),
          out_(std::filesystem::path(folder) / sheet.file),
          keys_(static_cast<std::uint64_t>(fileNumber + 1) << 40),
          placements_(placements) {
        while (numberBase_ <= placements_) {
            numberBase_ *= 10;
        }
    }

    void write() {
        out_.open("kicad_sch").leaf("version", "20231120").leafText("generator", "eeschema");
        out_.leafText("generator_version", "8.0").leafText("uuid", sheet_.uuid);
        out_.leafText("paper", "A1");
        out_.open("title_block").leafText("title", "Generated benchmark: " + sheet_.file);
        out_.leafText("date", "2024-01-15").leafText("rev", "1").close();
        out_.open("lib_symbols");
        for (const Part& part : parts()) {
            librarySymbol(out_, part);
        }
        out_.close();
        std::vector<int> counts(parts().size(), 0);
        for (int slot = 0; slot < placements_;) {
            slot += placeSlot(slot, counts);
        }
        for (std::size_t i = 0; i < sheet_.blocks.size(); ++i) {
            block(sheet_.blocks[i], static_cast<long>(i));
        }
        if (sheet_.root) {
            out_.open("sheet_instances").open("path").text("/").leafText("page", "1").close();
            out_.close();
        }
        out_.close();
    }

private:
    // Places what the slot holds; an op-amp's four units take four slots. Gives the slots used.
    int placeSlot(int slot, std::vector<int>& counts) {
        const PartIndex index = partAt(slot);
        const Part& part = parts()[index];
        const int number = ++counts[part.power ? Ground : index];
        const int units = std::min(part.units, placements_ - slot);
        for (int unit = 1; unit <= units; ++unit) {
            placed(part, slot + unit - 1, number, unit);
        }
        if (!part.power) {
            wire(slot);
        }
        return units;
    }

    std::string uuid() { return uuidOf(keys_++); }

    static long xOf(int slot) { return 2540 + (slot % 40) * 1524; }
    static long yOf(int slot) { return 2540 + (slot / 40) * 1016; }

    void placed(const Part& part, int slot, int number, int unit) {
        const long x = xOf(slot);
        const long y = yOf(slot);
        const std::string value =
            part.values[static_cast<std::size_t>(number) % part.values.size()];
        out_.open("symbol").leafText("lib_id", part.libId).leaf("at", mm(x) + ' ' + mm(y) + " 0");
        out_.leaf("unit", std::to_string(unit)).leaf("exclude_from_sim", "no");
        out_.leaf("in_bom", number % 211 == 0 ? "no" : "yes").leaf("on_board", "yes");
        out_.leaf("dnp", !part.power && number % 97 == 0 ? "yes" : "no");
        out_.leaf("fields_autoplaced", "yes").leafText("uuid", uuid());
        const std::string reference = designator(part, sheet_.instances.front().number, number);
        property(out_, "Reference", reference, x + 254, y - 127, part.power, "left");
        property(out_, "Value", value, x + 254, y + 127, false, "left");
        property(out_, "Footprint", part.footprint, x - 178, y, true);
        property(out_, "Datasheet", part.power ? "" : "~", x, y, true);
        property(out_, "Description", part.description, x, y, true);
        if (!part.power) {
            property(out_, "MPN", std::string(part.mpnPrefix) + value, x, y, true);
            property(out_, "Manufacturer", part.manufacturer, x, y, true);
        }
        for (int pin = 1; pin <= part.pins; ++pin) {
            out_.open("pin").text(std::to_string((unit - 1) * part.pins + pin));
            out_.leafText("uuid", uuid()).close();
        }
        instances(part, number, unit);
        out_.close();
    }

    // KiCad's "sheet number × 1000" numbering: each sheet instance has designators of its own.
    std::string designator(const Part& part, int sheetNumber, int number) const {
        return part.prefix + std::to_string(sheetNumber * numberBase_ + number);
    }

    void instances(const Part& part, int number, int unit) {
        out_.open("instances").open("project").text(projectName);
        for (const SheetInstance& instance : sheet_.instances) {
            out_.open("path").text(instance.path);
            out_.leafText("reference", designator(part, instance.number, number));
            out_.leaf("unit", std::to_string(unit)).close();
        }
        out_.close().close();
    }

    void wire(int slot) {
        const long x = xOf(slot);
        const long y = yOf(slot);
        out_.open("wire").points({{x + 381, y}, {x + 762, y}});
        stroke(out_, "0");
        out_.leafText("uuid", uuid()).close();
    }

    void block(const SheetBlock& block, long index) {
        const long x = 2540 + (index % 10) * 3810;
        const long y = 2540 + yOf(placements_) + (index / 10) * 2540;
        out_.open("sheet").leaf("at", mm(x) + ' ' + mm(y)).leaf("size", "25.4 15.24");
        out_.leaf("fields_autoplaced", "yes");
        out_.open("stroke").leaf("width", "0.1524").leaf("type", "solid").close();
        out_.open("fill").leaf("color", "0 0 0 0.0000").close().leafText("uuid", block.uuid);
        property(out_, "Sheetname", block.name, x, y - 71, false, "left bottom");
        property(out_, "Sheetfile", block.file, x, y + 1595, false, "left top");
        out_.open("pin").text("IN").atom("input").leaf("at", mm(x) + ' ' + mm(y + 508) + " 180");
        effects(out_, false, "left");
        out_.leafText("uuid", uuid()).close();
        out_.open("instances").open("project").text(projectName);
        for (const SheetInstance& page : block.pages) {
            out_.open("path").text(page.path).leafText("page", std::to_string(page.number));
            out_.close();
        }
        out_.close().close().close();
    }

    const SheetFile& sheet_;
    SexprWriter out_;
    std::uint64_t keys_;
    int placements_;
    int numberBase_ = 1000;
};

// The project file: what KiCad 8 writes that the reader looks at, and the sheet list.
void writeProject(const std::string& folder, const std::vector<SheetFile>& files) {
    std::ofstream out(std::filesystem::path(folder) / (std::string(projectName) + ".kicad_pro"),
                      std::ios::binary | std::ios::trunc);
    out << "{\n  \"meta\": {\n    \"filename\": \"" << projectName << ".kicad_pro\",\n"
        << "    \"version\": 1\n  },\n  \"schematic\": {\n    \"legacy_lib_dir\": \"\",\n"
        << "    \"legacy_lib_list\": []\n  },\n  \"sheets\": [\n    [\n      \""
        << files.front().uuid << "\",\n      \"Root\"\n    ]";
    for (const SheetFile& file : files) {
        for (const SheetBlock& block : file.blocks) {
            out << ",\n    [\n      \"" << block.uuid << "\",\n      \"" << block.name
                << "\"\n    ]";
        }
    }
    out << "\n  ],\n  \"text_variables\": {}\n}\n";
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: generate-kicad FOLDER [COUNT]\n"
                     "writes FOLDER/"
                  << projectName
                  << ".kicad_pro and its sheets: COUNT "
                     "(100000) placed symbols over "
                  << sheetInstances << " sheet instances\n";
        return 2;
    }
    const std::string folder = argv[1];
    const long count = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 100000;
    if (count < sheetInstances) {
        std::cerr << "generate-kicad: COUNT must be at least " << sheetInstances << '\n';
        return 2;
    }
    std::filesystem::create_directories(folder);
    const std::vector<SheetFile> files = hierarchy();
    writeProject(folder, files);
    const int placements = static_cast<int>(count / sheetInstances);
    for (std::size_t i = 0; i < files.size(); ++i) {
        SheetWriter(files[i], static_cast<int>(i), placements, folder).write();
    }
    std::cout << files.size() << " sheet files, " << sheetInstances << " sheet instances, "
              << placements * sheetInstances << " placed symbols\n";
    return 0;
}
