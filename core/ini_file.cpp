// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ini_file.h"

#include <cstdio>
#include <fstream>

#include "core/text.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using text::SameName;

struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n" or "" (the last line without one)
};

std::vector<Line> SplitLines(const std::string& content) {
    std::vector<Line> lines;
    std::size_t from = 0;
    while (from < content.size()) {
        const std::size_t nl = content.find('\n', from);
        if (nl == std::string::npos) {
            lines.push_back({content.substr(from), ""});
            break;
        }
        const bool cr = nl > from && content[nl - 1] == '\r';
        lines.push_back({content.substr(from, nl - from - (cr ? 1 : 0)), cr ? "\r\n" : "\n"});
        from = nl + 1;
    }
    return lines;
}

// True for a "[name]" line, with `name` set.
bool SectionOf(const std::string& line, std::string& name) {
    const std::string t = text::Trim(line);
    if (t.empty() || t[0] != '[') return false;
    const std::size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = text::Trim(t.substr(1, close - 1));
    return true;
}

// True for a "key=value" line, with `key` set; comments have no key.
bool KeyOf(const std::string& line, std::string& key) {
    const std::string t = text::Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') return false;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = text::Trim(line.substr(0, eq));
    return !key.empty();
}

// A value is one line: anything from a line break on would become lines of its own.
std::string OneLine(const std::string& value) { return value.substr(0, value.find_first_of("\r\n")); }

}  // namespace

std::string SetIniValues(const std::string& content, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& values) {
    // A UTF-8 byte order mark stays in front of the first line.
    const bool bom = content.rfind("\xEF\xBB\xBF", 0) == 0;
    std::vector<Line> lines = SplitLines(bom ? content.substr(3) : content);
    const std::string eol = lines.empty() || lines[0].end.empty() ? "\r\n" : lines[0].end;

    for (const auto& [key, rawValue] : values) {
        const std::string value = OneLine(rawValue);
        // The reader merges sections of the same name and takes a key's last
        // value: the key's last line in any of them is the one to change.
        bool inSection = false, inFirst = false, sectionSeen = false;
        std::size_t sectionEnd = lines.size();  // one past the first section's last non-blank line
        std::size_t match = lines.size();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::string name;
            if (SectionOf(lines[i].text, name)) {
                inSection = SameName(name, section);
                inFirst = inSection && !sectionSeen;
                if (inFirst) {
                    sectionSeen = true;
                    sectionEnd = i + 1;
                }
                continue;
            }
            if (!inSection) continue;
            if (inFirst && !text::Trim(lines[i].text).empty()) sectionEnd = i + 1;
            std::string k;
            if (KeyOf(lines[i].text, k) && SameName(k, key)) match = i;
        }
        if (match < lines.size()) {
            // Everything up to the value stays: the key's spelling, the
            // blanks around "=".
            std::string& t = lines[match].text;
            std::size_t at = t.find('=') + 1;
            while (at < t.size() && (t[at] == ' ' || t[at] == '\t')) ++at;
            t = t.substr(0, at) + value;
            continue;
        }
        if (!sectionSeen) {
            if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;
            lines.push_back({"[" + section + "]", eol});
            sectionEnd = lines.size();
        }
        // Inserted before the line that follows it, so that line keeps its place.
        if (sectionEnd > 0 && lines[sectionEnd - 1].end.empty()) lines[sectionEnd - 1].end = eol;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), Line{key + "=" + value, eol});
    }

    std::string out = bom ? "\xEF\xBB\xBF" : "";
    for (const Line& l : lines) out += l.text + l.end;
    return out;
}

namespace {

// Writes over the file itself: for a folder that takes no new file.
bool WriteInPlace(const std::string& path, const std::string& data) {
#ifdef _WIN32
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size() && std::fflush(f) == 0;
    ok = ok && _chsize_s(_fileno(f), static_cast<long long>(data.size())) == 0;
    return std::fclose(f) == 0 && ok;
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // Written first, cut after: a failure midway leaves no shorter file than needed.
    bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    ok = ok && ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
#endif
}

}  // namespace

bool ReplaceFileContent(const std::string& path, const std::string& data) {
    const std::string tmp = path + ".tmp";
#ifdef _WIN32
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return WriteInPlace(path, data);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        if (!out.flush()) {
            out.close();
            std::remove(tmp.c_str());
            return false;
        }
    }
    // ReplaceFile keeps the old file's attributes and security settings.
    if (ReplaceFileA(path.c_str(), tmp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) ||
        MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    std::remove(tmp.c_str());
    return WriteInPlace(path, data);
#else
    struct stat old {};
    if (::stat(path.c_str(), &old) != 0) return false;
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return WriteInPlace(path, data);  // the folder takes no new file
    bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    // The old file's mode and owner: the file holds the credentials, and
    // whoever set its rights meant them. A file of another owner that only
    // root could give back is written in place instead.
    ok = ok && ::fchmod(fd, old.st_mode & 07777) == 0;
    bool ownerKept = true;
    if (ok && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        ownerKept = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ownerKept && ::rename(tmp.c_str(), path.c_str()) == 0) return true;
    ::unlink(tmp.c_str());
    return ok ? WriteInPlace(path, data) : false;
#endif
}
