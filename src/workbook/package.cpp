#include "workbook/package.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/error.h"
#include "common/textfile.h"

namespace vexlo::workbook {

namespace {

// Parts are read a piece of this size at a time.
constexpr std::size_t pieceSize = std::size_t(1) << 20;
// Parts above this size are compressed fast: the sheet of a big report would otherwise spend
// most of the save in deflate for a few percent of file size.
constexpr std::size_t fastCompressionSize = 1 << 20;
// Parts we write carry the zip format's earliest time, 1 January 1980, as spreadsheet
// applications write them: the same report comes out byte for byte the same.
constexpr zip_uint16_t fixedDosTime = 0;
constexpr zip_uint16_t fixedDosDate = (1 << 5) | 1;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// "10,000"
std::string grouped(std::uint64_t number) {
    std::string digits = std::to_string(number);
    for (auto at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

std::string mebibytes(std::uint64_t bytes) {
    const std::uint64_t mebibyte = std::uint64_t(1) << 20;
    return std::to_string(bytes / mebibyte + (bytes % mebibyte != 0 ? 1 : 0)) + " MiB";
}

bool isLegacyWorkbook(const std::string& path) {
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    unsigned char head[8] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return got == sizeof head && std::memcmp(head, signature, sizeof head) == 0;
}

// The archive being written, discarded unless closed.
struct OutputArchive {
    zip_source_t* buffer = nullptr;
    zip_t* archive = nullptr;
    ~OutputArchive() {
        if (archive != nullptr) {
            zip_discard(archive);
        }
        if (buffer != nullptr) {
            zip_source_free(buffer);
        }
    }
};

// The source of a part written as a template part with one range of its bytes replaced: it
// reads the template part while the package is written, so that a large part that changes in
// a few bytes is never held whole.
class RewrittenPart final {
public:
    static zip_source_t* create(zip_t* target, zip_t* from, zip_uint64_t entry, std::uint64_t size,
                                const WorkbookPackage::Rewrite& rewrite) {
        auto* part = new RewrittenPart(from, entry, size, rewrite);
        zip_source_t* source = zip_source_function(target, &RewrittenPart::command, part);
        if (source == nullptr) {
            delete part;
        }
        return source;
    }

private:
    RewrittenPart(zip_t* from, zip_uint64_t entry, std::uint64_t size,
                  const WorkbookPackage::Rewrite& rewrite)
        : from_(from), entry_(entry), size_(size), rewrite_(rewrite) {
        zip_error_init(&error_);
    }
    ~RewrittenPart() {
        close();
        zip_error_fini(&error_);
    }

    static zip_int64_t command(void* state, void* data, zip_uint64_t length,
                               zip_source_cmd_t command) {
        auto* part = static_cast<RewrittenPart*>(state);
        switch (command) {
            case ZIP_SOURCE_OPEN:
                return part->open();
            case ZIP_SOURCE_READ:
                return part->read(static_cast<char*>(data), length);
            case ZIP_SOURCE_CLOSE:
                return part->close();
            case ZIP_SOURCE_STAT: {
                auto* info = static_cast<zip_stat_t*>(data);
                zip_stat_init(info);
                info->size = part->size_ - part->rewrite_.length + part->rewrite_.bytes.size();
                info->valid |= ZIP_STAT_SIZE;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&part->error_, data, length);
            case ZIP_SOURCE_FREE:
                delete part;
                return 0;
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                      ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                      ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
            default:
                zip_error_set(&part->error_, ZIP_ER_OPNOTSUPP, 0);
                return -1;
        }
    }

    zip_int64_t open() {
        file_ = zip_fopen_index(from_, entry_, 0);
        if (file_ == nullptr) {
            zip_error_set(&error_, zip_error_code_zip(zip_get_error(from_)), 0);
            return -1;
        }
        at_ = 0;
        written_ = 0;
        return 0;
    }

    // The part's bytes up to the range, the new bytes, then the part's bytes after the range.
    zip_int64_t read(char* data, zip_uint64_t length) {
        const std::uint64_t rangeEnd = rewrite_.at + rewrite_.length;
        if (at_ < rewrite_.at) {
            return copy(data, std::min<std::uint64_t>(length, rewrite_.at - at_));
        }
        // The replaced bytes are read past: a compressed part can only be read on.
        char skipped[4096];
        while (at_ < rangeEnd) {
            if (copy(skipped, std::min<std::uint64_t>(sizeof skipped, rangeEnd - at_)) <= 0) {
                return -1;
            }
        }
        if (written_ < rewrite_.bytes.size()) {
            const auto count = static_cast<std::size_t>(
                std::min<std::uint64_t>(length, rewrite_.bytes.size() - written_));
            std::copy_n(rewrite_.bytes.data() + written_, count, data);
            written_ += count;
            return static_cast<zip_int64_t>(count);
        }
        return copy(data, length);
    }

    // Reads on in the template part; running out before its size is an error.
    zip_int64_t copy(char* data, std::uint64_t length) {
        const zip_int64_t got = zip_fread(file_, data, length);
        if (got < 0) {
            zip_error_set(&error_, zip_error_code_zip(zip_file_get_error(file_)), 0);
            return -1;
        }
        if ((got == 0 && at_ < size_ && length > 0) ||
            at_ + static_cast<std::uint64_t>(got) > size_) {
            zip_error_set(&error_, ZIP_ER_INCONS, 0);
            return -1;
        }
        at_ += static_cast<std::uint64_t>(got);
        return got;
    }

    zip_int64_t close() {
        const int closed = file_ != nullptr ? zip_fclose(file_) : 0;
        file_ = nullptr;
        if (closed != 0) {
            zip_error_set(&error_, closed, 0);
            return -1;
        }
        return 0;
    }

    zip_t* from_;
    zip_uint64_t entry_;
    std::uint64_t size_;
    WorkbookPackage::Rewrite rewrite_;
    zip_file_t* file_ = nullptr;
    std::uint64_t at_ = 0;     // bytes of the template part read so far
    std::size_t written_ = 0;  // of the new bytes
    zip_error_t error_;
};

}  // namespace

std::unique_ptr<WorkbookPackage> WorkbookPackage::open(const std::string& path) {
    std::unique_ptr<WorkbookPackage> package(new WorkbookPackage());
    package->path_ = path;
    const std::string name = package->describe();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int failure = errno;
        if (failure == ENOENT || failure == ENOTDIR) {
            throw Error(errc::BadTemplate, name + " does not exist");
        }
        throw Error(errc::BadTemplate, name + " cannot be read: " + std::strerror(failure));
    }
    // Opening a FIFO or a device would wait for a writer or never end.
    if (!S_ISREG(info.st_mode)) {
        throw Error(errc::BadTemplate,
                    name + " is " + fileKindName(info.st_mode) + ", not a workbook");
    }
    if (std::FILE* probe = std::fopen(path.c_str(), "rb")) {
        std::fclose(probe);
    } else {
        throw Error(errc::BadTemplate, name + " cannot be read: " + std::strerror(errno));
    }
    if (isLegacyWorkbook(path)) {
        throw Error(errc::BadTemplate,
                    name +
                        " is a legacy binary workbook or an encrypted one; only OOXML "
                        "workbooks (.xlsx, .xlsm) can be templates");
    }
    int code = 0;
    package->archive_ = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (package->archive_ == nullptr) {
        if (code == ZIP_ER_NOZIP) {
            throw Error(errc::BadTemplate, name + " is not an OOXML workbook (not a zip package)");
        }
        throw Error(errc::BadTemplate, name + " is a damaged zip package: " + zipErrorText(code));
    }
    const auto entries = static_cast<zip_uint64_t>(zip_get_num_entries(package->archive_, 0));
    if (entries > maxTemplateParts) {
        throw Error(errc::BadTemplate, name + " is too large: it has " + grouped(entries) +
                                           " parts, more than the " + grouped(maxTemplateParts) +
                                           " a template may have");
    }
    std::uint64_t total = 0;
    for (zip_uint64_t entry = 0; entry < entries; ++entry) {
        zip_stat_t info;
        if (zip_stat_index(package->archive_, entry, ZIP_FL_ENC_RAW, &info) != 0 ||
            (info.valid & ZIP_STAT_SIZE) == 0 || (info.valid & ZIP_STAT_NAME) == 0) {
            throw Error(errc::BadTemplate,
                        name + " is a damaged zip package: " + zip_strerror(package->archive_));
        }
        total = info.size > UINT64_MAX - total ? UINT64_MAX : total + info.size;
        checkPartName(name, info.name, *package);
        package->index(info.name, entry, info.size);
    }
    if (total > maxTemplateInflatedSize) {
        throw Error(errc::BadTemplate, name + " is too large: its parts inflate to " +
                                           mebibytes(total) + ", more than the " +
                                           mebibytes(maxTemplateInflatedSize) +
                                           " a template may hold");
    }
    return package;
}

void WorkbookPackage::checkPartName(const std::string& name, std::string_view part,
                                    const WorkbookPackage& package) {
    // Part names are paths inside the package: one that climbs out of it or starts at the root
    // would be carried into every report as it stands.
    std::string path(1, '/');
    path.append(part);
    path += '/';
    if (part.empty() || part.front() == '/' || part.front() == '\\' ||
        path.find("/../") != std::string::npos || path.find("\\..") != std::string::npos ||
        path.find("..\\") != std::string::npos) {
        throw Error(errc::BadTemplate, name + " has a part named \"" + std::string(part) +
                                           "\", which points outside the package");
    }
    // A report claims to be a workbook without macros: a template's macros are not carried on.
    const std::string lower = lowerCase(std::string(part));
    if (lower.ends_with("vbaproject.bin")) {
        throw Error(errc::BadTemplate, name + " holds macros (\"" + std::string(part) +
                                           "\"), which a report must not carry: save the "
                                           "template as a workbook without macros (.xlsx)");
    }
    // Names are compared without letter case, as spreadsheet applications read them.
    if (package.byLowerName_.contains(lower)) {
        throw Error(errc::BadTemplate, name + " has two parts named \"" + std::string(part) + "\"");
    }
}

std::unique_ptr<WorkbookPackage> WorkbookPackage::inMemory(
    std::vector<std::pair<std::string, std::string>> parts) {
    std::unique_ptr<WorkbookPackage> package(new WorkbookPackage());
    for (auto& [name, bytes] : parts) {
        package->index(name, package->memoryParts_.size(), bytes.size());
        package->memoryParts_.push_back(std::move(bytes));
    }
    return package;
}

WorkbookPackage::~WorkbookPackage() {
    if (archive_ != nullptr) {
        zip_discard(archive_);
    }
}

void WorkbookPackage::index(std::string name, std::size_t entry, std::uint64_t size) {
    byLowerName_.emplace(lowerCase(name), names_.size());
    names_.push_back(std::move(name));
    entries_.push_back(entry);
    sizes_.push_back(size);
}

std::size_t WorkbookPackage::positionOf(const std::string& name) const {
    const auto found = byLowerName_.find(lowerCase(name));
    if (found == byLowerName_.end()) {
        throw Error(errc::BadTemplate, describe() + " has no part \"" + name + "\"");
    }
    return found->second;
}

std::string WorkbookPackage::describe() const {
    return "Template workbook \"" + path_ + "\"";
}

std::optional<std::string> WorkbookPackage::find(const std::string& name) const {
    const auto found = byLowerName_.find(lowerCase(name));
    if (found == byLowerName_.end()) {
        return std::nullopt;
    }
    return names_[found->second];
}

std::string WorkbookPackage::read(const std::string& name) const {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(sizes_[positionOf(name)]));
    read(name, [&](std::string_view piece) { bytes.append(piece); });
    return bytes;
}

void WorkbookPackage::read(const std::string& name,
                           const std::function<void(std::string_view)>& consume) const {
    const std::size_t position = positionOf(name);
    if (archive_ == nullptr) {
        consume(memoryParts_[entries_[position]]);
        return;
    }
    const std::string damaged = describe() + " has a damaged part \"" + name + "\": ";
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
        zip_fopen_index(archive_, entries_[position], 0), &zip_fclose);
    if (file == nullptr) {
        throw Error(errc::BadTemplate, damaged + zip_strerror(archive_));
    }
    // The size a part declares is what the limits were checked against: it must hold.
    const std::uint64_t declared = sizes_[position];
    std::string piece(static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize, declared)) + 1,
                      '\0');
    std::uint64_t total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), piece.data(), piece.size());
        if (got < 0) {
            throw Error(errc::BadTemplate, damaged + zip_file_strerror(file.get()));
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::uint64_t>(got);
        if (total > declared) {
            throw Error(errc::BadTemplate, damaged + "it inflates to more than the " +
                                               grouped(declared) + " bytes it declares");
        }
        consume(std::string_view(piece.data(), static_cast<std::size_t>(got)));
    }
    // Closing checks the CRC of what was read.
    if (const int closed = zip_fclose(file.release()); closed != 0) {
        throw Error(errc::BadTemplate, damaged + zipErrorText(closed));
    }
    if (total < declared) {
        throw Error(errc::BadTemplate, damaged + "it inflates to fewer than the " +
                                           grouped(declared) + " bytes it declares");
    }
}

void WorkbookPackage::saveAs(const std::string& path, const Changes& changes) const {
    const auto fail = [&](const std::string& why) {
        throw Error(errc::PathFileAccess, "Cannot write the workbook \"" + path + "\": " + why);
    };
    // The archive is built in memory and written through an atomic file, so a failure at any
    // point leaves the old file as it was.
    OutputArchive output;
    zip_error_t error;
    zip_error_init(&error);
    output.buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (output.buffer == nullptr ||
        (output.archive = zip_open_from_source(output.buffer, ZIP_TRUNCATE, &error)) == nullptr) {
        const std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        fail(why);
    }
    zip_error_fini(&error);
    zip_source_keep(output.buffer);  // closing the archive must leave its bytes to us
    if (const std::string why = addParts(output.archive, changes); !why.empty()) {
        fail(why);
    }
    if (zip_close(output.archive) != 0) {
        fail(zip_strerror(output.archive));
    }
    output.archive = nullptr;

    if (zip_source_open(output.buffer) != 0) {
        fail(zip_error_strerror(zip_source_error(output.buffer)));
    }
    AtomicFile file(path);
    std::string chunk(std::size_t(1) << 20, '\0');
    zip_int64_t got = 0;
    while ((got = zip_source_read(output.buffer, chunk.data(), chunk.size())) > 0) {
        file.write(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
    }
    const std::string readFailure =
        got < 0 ? zip_error_strerror(zip_source_error(output.buffer)) : "";
    zip_source_close(output.buffer);
    if (!readFailure.empty()) {
        fail(readFailure);
    }
    file.commit();
}

// Only a template is rewritten: a blank workbook has no shared string table whose count could
// change.
std::string WorkbookPackage::addParts(zip* archive, const Changes& changes) const {
    std::string failure;
    const auto add = [&](const std::string& name, zip_source_t* source, std::uint64_t size) {
        const zip_int64_t entry =
            source != nullptr ? zip_file_add(archive, name.c_str(), source, 0) : -1;
        if (entry < 0) {
            if (source != nullptr) {
                zip_source_free(source);
            }
            failure = zip_strerror(archive);
        } else if (size > fastCompressionSize) {
            zip_set_file_compression(archive, entry, ZIP_CM_DEFLATE, 1);
        }
        return entry;
    };
    const auto written = [&](zip_int64_t entry) {
        if (entry >= 0 && zip_file_set_dostime(archive, static_cast<zip_uint64_t>(entry),
                                               fixedDosTime, fixedDosDate, 0) != 0) {
            failure = zip_strerror(archive);
        }
    };
    const auto addBytes = [&](const std::string& name, std::string_view bytes) {
        written(add(name, zip_source_buffer(archive, bytes.data(), bytes.size(), 0), bytes.size()));
    };

    for (std::size_t at = 0; at < names_.size() && failure.empty(); ++at) {
        const std::string& name = names_[at];
        const auto replaced = changes.replaced.find(name);
        const auto rewritten = changes.rewritten.find(name);
        if (changes.removed.count(name) != 0) {
            continue;
        } else if (replaced != changes.replaced.end()) {
            addBytes(name, replaced->second);
        } else if (rewritten != changes.rewritten.end()) {
            const Rewrite& rewrite = rewritten->second;
            written(add(name,
                        RewrittenPart::create(archive, archive_, entries_[at], sizes_[at], rewrite),
                        sizes_[at] - rewrite.length + rewrite.bytes.size()));
        } else if (archive_ == nullptr) {
            addBytes(name, memoryParts_[entries_[at]]);
        } else if (!name.empty() && name.back() == '/') {
            if (zip_dir_add(archive, name.c_str(), 0) < 0) {
                failure = zip_strerror(archive);
            }
        } else {
            // The part's bytes are copied as they are.
            add(name, zip_source_zip(archive, archive_, entries_[at], 0, 0, -1), 0);
        }
    }
    for (const auto& [name, bytes] : changes.replaced) {
        if (failure.empty() && !find(name)) {
            addBytes(name, bytes);
        }
    }
    return failure;
}

}  // namespace vexlo::workbook
