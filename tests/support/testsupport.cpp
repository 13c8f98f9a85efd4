#include "testsupport.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "common/error.h"

namespace vexlo::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vexlo-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
        if (entry.is_directory(ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, ignored);
}

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> listTree(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).string();
        names.push_back(entry.is_directory() ? relative + "/" : relative);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string crlf(const std::vector<std::string>& lines) {
    std::string joined;
    for (const auto& line : lines) {
        joined += line + "\r\n";
    }
    return joined;
}

std::vector<std::string> fields(const std::string& text, char separator) {
    std::vector<std::string> found;
    for (std::size_t at = 0; !text.empty() && at <= text.size();) {
        const std::size_t end = std::min(text.find(separator, at), text.size());
        found.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return found;
}

std::string joined(const std::vector<std::string>& texts, const std::string& separator) {
    std::string text;
    for (const std::string& each : texts) {
        text += (&each == texts.data() ? "" : separator) + each;
    }
    return text;
}

FileSizeLimit::FileSizeLimit(unsigned long long bytes) {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    oldSoftLimit_ = limit.rlim_cur;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = oldSoftLimit_;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler_);
}

ViewerRecorder::ViewerRecorder(int exitStatus) {
    const std::string log = dir_.file("shown.log");
    writeFile(dir_.file("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\nexit " +
                                         std::to_string(exitStatus) + "\n");
    fs::permissions(dir_.file("xdg-open"), fs::perms::owner_all);
    const char* path = std::getenv("PATH");
    oldPath_ = path != nullptr ? path : "/usr/bin:/bin";
    ::setenv("PATH", (dir_.path() + ":" + oldPath_).c_str(), 1);
}

ViewerRecorder::~ViewerRecorder() {
    ::setenv("PATH", oldPath_.c_str(), 1);
}

std::vector<std::string> ViewerRecorder::shown(std::size_t expected) const {
    const std::string log = dir_.file("shown.log");
    std::vector<std::string> lines;
    for (int attempt = 0; attempt < 100; ++attempt) {
        lines.clear();
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        if (lines.size() >= expected) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return lines;
}

std::string buildDir() {
    const char* dir = std::getenv("VEXLO_BUILD_DIR");
    return dir != nullptr ? dir : fs::current_path().string();
}

std::string sourceDir() {
    const char* dir = std::getenv("VEXLO_SOURCE_DIR");
    return dir != nullptr ? dir : VEXLO_SOURCE_TREE;
}

int runUnprivileged(const std::function<int()>& check) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t nobody = 65534;
        if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
            ::_exit(125);
        }
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 126;
}

std::string le(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

std::string unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] == '\\' && i + 1 < text.size() ? text[++i] : 0;
        if (c == 'x') {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += c == 0     ? text[i]
                     : c == 'r' ? '\r'
                     : c == 'n' ? '\n'
                     : c == 't' ? '\t'
                     : c == '0' ? '\0'
                                : c;
        }
    }
    return bytes;
}

std::string errorOf(const std::function<void()>& call) {
    try {
        call();
        return "no error";
    } catch (const Error& error) {
        return errorMessage(error);
    }
}

}  // namespace vexlo::test
