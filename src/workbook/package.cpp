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

// A part larger than this is no worksheet a spreadsheet could have written; refusing it keeps a
// crafted package from exhausting memory.
constexpr zip_uint64_t maxPartSize = zip_uint64_t(1) << 30;
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
    const zip_int64_t entries = zip_get_num_entries(package->archive_, 0);
    for (zip_int64_t entry = 0; entry < entries; ++entry) {
        const char* entryName = zip_get_name(package->archive_, entry, ZIP_FL_ENC_RAW);
        if (entryName != nullptr) {
            package->index(entryName, static_cast<std::size_t>(entry));
        }
    }
    return package;
}

std::unique_ptr<WorkbookPackage> WorkbookPackage::inMemory(
    std::vector<std::pair<std::string, std::string>> parts) {
    std::unique_ptr<WorkbookPackage> package(new WorkbookPackage());
    for (auto& [name, bytes] : parts) {
        package->index(name, package->memoryParts_.size());
        package->memoryParts_.push_back(std::move(bytes));
    }
    return package;
}

WorkbookPackage::~WorkbookPackage() {
    if (archive_ != nullptr) {
        zip_discard(archive_);
    }
}

void WorkbookPackage::index(std::string name, std::size_t entry) {
    byLowerName_.emplace(lowerCase(name), names_.size());
    names_.push_back(std::move(name));
    entries_.push_back(entry);
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
    const auto found = byLowerName_.find(lowerCase(name));
    if (found == byLowerName_.end()) {
        throw Error(errc::BadTemplate, describe() + " has no part \"" + name + "\"");
    }
    const std::size_t entry = entries_[found->second];
    if (archive_ == nullptr) {
        return memoryParts_[entry];
    }
    const std::string damaged = describe() + " has a damaged part \"" + name + "\": ";
    zip_stat_t info;
    zip_stat_init(&info);
    if (zip_stat_index(archive_, entry, 0, &info) != 0 || (info.valid & ZIP_STAT_SIZE) == 0) {
        throw Error(errc::BadTemplate, damaged + zip_strerror(archive_));
    }
    if (info.size > maxPartSize) {
        throw Error(errc::BadTemplate, damaged + "it is larger than 1 GiB");
    }
    zip_file_t* file = zip_fopen_index(archive_, entry, 0);
    if (file == nullptr) {
        throw Error(errc::BadTemplate, damaged + zip_strerror(archive_));
    }
    std::string bytes(info.size, '\0');
    const zip_int64_t got = zip_fread(file, bytes.data(), bytes.size());
    std::string failure = got < 0 ? zip_file_strerror(file) : "";
    // Reading on to the end is what checks the CRC.
    char past = 0;
    if (failure.empty() && zip_fread(file, &past, 1) != 0) {
        failure = zip_file_strerror(file);
    }
    // Closing checks the CRC of what was read.
    const int closed = zip_fclose(file);
    if (failure.empty() && closed != 0) {
        failure = zipErrorText(closed);
    }
    if (failure.empty() && static_cast<zip_uint64_t>(got) != info.size) {
        failure = "it ends early";
    }
    if (!failure.empty()) {
        throw Error(errc::BadTemplate, damaged + failure);
    }
    return bytes;
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

std::string WorkbookPackage::addParts(zip* archive, const Changes& changes) const {
    std::string failure;
    const auto add = [&](const std::string& name, zip_source_t* source, std::size_t size) {
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
    const auto addBytes = [&](const std::string& name, std::string_view bytes) {
        const zip_int64_t entry =
            add(name, zip_source_buffer(archive, bytes.data(), bytes.size(), 0), bytes.size());
        if (entry >= 0 && zip_file_set_dostime(archive, static_cast<zip_uint64_t>(entry),
                                               fixedDosTime, fixedDosDate, 0) != 0) {
            failure = zip_strerror(archive);
        }
    };

    for (std::size_t at = 0; at < names_.size() && failure.empty(); ++at) {
        const std::string& name = names_[at];
        const auto replaced = changes.replaced.find(name);
        if (changes.removed.count(name) != 0) {
            continue;
        } else if (replaced != changes.replaced.end()) {
            addBytes(name, replaced->second);
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
