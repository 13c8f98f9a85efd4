#include "dbus/flatstream.h"

#include <algorithm>
#include <limits>

#include "common/error.h"

namespace vexlo::dbus {

namespace {

constexpr std::string_view magic = "QFLT";
constexpr std::uint32_t version = 1;
constexpr std::size_t sizeOffset = 8;
constexpr std::size_t countOffset = 16;
// The least a component or a pair can take: what bounds a count read from the stream.
constexpr std::size_t minComponentSize = 4 * 4;
constexpr std::size_t minPairSize = 2 * 4;

void storeLittleEndian(char* out, std::uint64_t value, int byteCount) {
    for (int i = 0; i < byteCount; ++i) {
        out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

[[noreturn]] void throwCorrupt(const std::string& what) {
    throw Error(errc::ToolCallFailed,
                "The schematic tool sent a corrupt flattened design: " + what);
}

// Reads the stream front to back; every length is checked against what is left.
class StreamReader {
public:
    explicit StreamReader(std::string_view bytes) : bytes_(bytes) {}

    std::size_t position() const noexcept { return position_; }
    std::size_t remaining() const noexcept { return bytes_.size() - position_; }

    std::uint64_t number(int byteCount, const char* what) {
        need(static_cast<std::size_t>(byteCount), what);
        std::uint64_t value = 0;
        for (int i = 0; i < byteCount; ++i) {
            value |= std::uint64_t{static_cast<unsigned char>(bytes_[position_ + i])} << (8 * i);
        }
        position_ += static_cast<std::size_t>(byteCount);
        return value;
    }

    // The fixed width lets the four bytes be read as one load: a stream has millions of counts.
    std::uint32_t u32(const char* what) {
        need(4, what);
        const auto* at = reinterpret_cast<const unsigned char*>(bytes_.data() + position_);
        position_ += 4;
        return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
               std::uint32_t{at[3]} << 24;
    }

    std::string_view text(const char* what) {
        const std::size_t length = u32(what);
        need(length, what);
        const std::string_view value = bytes_.substr(position_, length);
        position_ += length;
        return value;
    }

    std::string_view raw(std::size_t length, const char* what) {
        need(length, what);
        const std::string_view value = bytes_.substr(position_, length);
        position_ += length;
        return value;
    }

    // A count of items of at least minItemSize bytes each, refused when the rest cannot hold it.
    std::uint32_t count(std::size_t minItemSize, const char* what) {
        const std::uint32_t value = u32(what);
        if (value > remaining() / minItemSize) {
            throwCorrupt(std::string(what) + " of " + std::to_string(value) +
                         " does not fit in the " + std::to_string(remaining()) +
                         " bytes left at byte " + std::to_string(position_));
        }
        return value;
    }

private:
    void need(std::size_t length, const char* what) const {
        if (length > remaining()) {
            throwCorrupt("it is cut short at byte " + std::to_string(position_) + " (reading the " +
                         what + ")");
        }
    }

    std::string_view bytes_;
    std::size_t position_ = 0;
};

// Reads the header up to the component count, which it returns. The reader holds the first bytes
// of a stream of streamSize bytes: all of it, or only its header when it is checked before it is
// mapped.
std::uint32_t readHeader(StreamReader& reader, std::uint64_t streamSize,
                         std::uint32_t maxComponents) {
    if (streamSize < flatStreamHeaderSize || reader.remaining() < flatStreamHeaderSize) {
        throwCorrupt("it holds " +
                     std::to_string(std::min<std::uint64_t>(streamSize, reader.remaining())) +
                     " bytes, less than its header");
    }
    if (reader.raw(magic.size(), "header") != magic) {
        throwCorrupt("it does not start with \"QFLT\"");
    }
    const std::uint32_t streamVersion = reader.u32("header");
    if (streamVersion != version) {
        throwCorrupt("its version is " + std::to_string(streamVersion) + ", not " +
                     std::to_string(version));
    }
    const std::uint64_t declaredSize = reader.number(8, "header");
    if (declaredSize != streamSize) {
        throwCorrupt("it holds " + std::to_string(streamSize) + " bytes instead of " +
                     std::to_string(declaredSize));
    }
    const std::uint32_t count = reader.u32("component count");
    // Each component takes at least minComponentSize bytes of what follows the header.
    if (count > (streamSize - flatStreamHeaderSize) / minComponentSize) {
        throwCorrupt("component count of " + std::to_string(count) + " does not fit in the " +
                     std::to_string(streamSize - flatStreamHeaderSize) + " bytes left at byte " +
                     std::to_string(flatStreamHeaderSize));
    }
    if (count > maxComponents) {
        throw Error(errc::DesignTooLarge,
                    "The design has " + std::to_string(count) + " components, more than the " +
                        std::to_string(maxComponents) + " this program reads");
    }
    if (streamSize > maxStreamBytes) {
        throw Error(errc::DesignTooLarge,
                    "The design's stream holds " + std::to_string(streamSize) +
                        " bytes, more than the " + std::to_string(maxStreamBytes) +
                        " this program reads");
    }
    return count;
}

// One component's designator and pair counts; each pair goes to the visitor as it is read.
struct ComponentCounts {
    std::string_view refdes;
    std::uint32_t counts[3] = {};
};

template <typename Visit>
ComponentCounts readComponent(StreamReader& reader, Visit&& visit) {
    static constexpr const char* countNames[] = {"object attribute count", "attribute count",
                                                 "symbol attribute count"};
    ComponentCounts component;
    component.refdes = reader.text("reference designator");
    for (int collection = 0; collection < 3; ++collection) {
        const std::uint32_t count = reader.count(minPairSize, countNames[collection]);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::string_view name = reader.text("name");
            visit(component.refdes, name, reader.text("value"));
        }
        component.counts[collection] = count;
    }
    return component;
}

// Checks the whole stream and counts its pairs, so that the design takes its exact size.
std::size_t checkedPairCount(std::string_view bytes, std::uint32_t maxComponents) {
    StreamReader reader(bytes);
    const std::uint32_t count = readHeader(reader, bytes.size(), maxComponents);
    std::size_t pairs = 0;
    for (std::uint32_t index = 0; index < count; ++index) {
        const ComponentCounts component = readComponent(
            reader, [](std::string_view refdes, std::string_view name, std::string_view value) {
                design::checkValueLength(name, value.size(), refdes);
            });
        pairs += std::size_t{component.counts[0]} + component.counts[1] + component.counts[2];
    }
    if (reader.remaining() != 0) {
        throwCorrupt(std::to_string(reader.remaining()) + " bytes follow its last component");
    }
    return pairs;
}

}  // namespace

std::uint32_t checkStreamHeader(std::string_view header, std::uint64_t streamSize,
                                std::uint32_t maxComponents) {
    StreamReader reader(header);
    return readHeader(reader, streamSize, maxComponents);
}

FlatStreamWriter::FlatStreamWriter() {
    bytes_.assign(magic);
    putU32(version);
    bytes_.append(8 + 4, '\0');  // size and count, known at the end
}

void FlatStreamWriter::putU32(std::uint32_t value) {
    char buffer[4];
    storeLittleEndian(buffer, value, 4);
    bytes_.append(buffer, 4);
}

void FlatStreamWriter::putString(std::string_view text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw Error(errc::ToolCallFailed, "A text of the design is too long to send");
    }
    putU32(static_cast<std::uint32_t>(text.size()));
    bytes_.append(text);
}

template <typename Pairs>
void FlatStreamWriter::putPairs(std::size_t count, const Pairs& pairs) {
    putU32(static_cast<std::uint32_t>(count));
    for (const auto& pair : pairs) {
        putString(pair.Name);
        putString(pair.Value);
    }
}

void FlatStreamWriter::addComponent(std::string_view refdes,
                                    const std::vector<design::Attribute>& oats,
                                    const std::vector<design::Attribute>& attributes,
                                    const std::vector<design::Attribute>& symbol) {
    putString(refdes);
    putPairs(oats.size(), oats);
    putPairs(attributes.size(), attributes);
    putPairs(symbol.size(), symbol);
    ++count_;
}

void FlatStreamWriter::addComponent(const design::Component& component) {
    putString(component.Refdes);
    for (const design::AttributeCollection* pairs :
         {&component.OATList, &component.Attributes, &component.Symbol.Attributes}) {
        putPairs(static_cast<std::size_t>(pairs->Count()), *pairs);
    }
    ++count_;
}

std::string FlatStreamWriter::finish() {
    storeLittleEndian(bytes_.data() + sizeOffset, bytes_.size(), 8);
    storeLittleEndian(bytes_.data() + countOffset, count_, 4);
    std::string finished = std::move(bytes_);
    *this = FlatStreamWriter();
    return finished;
}

std::string writeFlatStream(const design::FlattenedDesign& design) {
    FlatStreamWriter writer;
    for (const design::Component& component : design.components) {
        writer.addComponent(component);
    }
    return writer.finish();
}

design::FlattenedDesign readFlatStream(std::string_view bytes, std::shared_ptr<const void> owner,
                                       std::uint32_t maxComponents) {
    const std::size_t pairs = checkedPairCount(bytes, maxComponents);
    auto storage = std::make_shared<design::DesignStorage>();
    if (owner) {
        storage->keepAlive(std::move(owner));
    } else {
        bytes = storage->keep(bytes);
    }
    storage->reserve(pairs);
    StreamReader reader(bytes);
    const std::uint32_t count = readHeader(reader, bytes.size(), maxComponents);
    design::FlattenedDesign design;
    design.components.reserve(count);
    // The names at each place of the previous component: components of a kind repeat them.
    std::vector<design::NameId> previousNames;
    for (std::uint32_t index = 0; index < count; ++index) {
        const std::size_t first = storage->entryCount();
        std::size_t place = 0;
        const ComponentCounts component = readComponent(
            reader, [&](std::string_view, std::string_view name, std::string_view value) {
                if (place == previousNames.size()) {
                    previousNames.push_back(design::noName);
                }
                previousNames[place] = storage->intern(name, previousNames[place]);
                storage->add(previousNames[place++], value);
            });
        design.components.emplace_back(storage, component.refdes, static_cast<std::uint32_t>(first),
                                       component.counts[0], component.counts[1],
                                       component.counts[2]);
    }
    return design;
}

}  // namespace vexlo::dbus
