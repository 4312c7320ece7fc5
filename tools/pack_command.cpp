// tailpatch pack and list: an installer stub followed by its file list,
// the names each in double quotes with CR LF between them.
#include "tools/commands.h"
#include "installer/trailer.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

// Last: natively it maps the runtime's file names onto Windows paths.
#include "platform/os.h"

namespace {

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

// Parses "--offset N" style numbers; answers false for anything but a
// plain non-negative decimal.
bool ParseOffset(const char *text, long *offset)
{
    char *end;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno || end == text || *end || value < 0)
        return false;
    *offset = value;
    return true;
}

bool IsAbsolute(const std::string &name)
{
    return (!name.empty() && (name[0] == '\\' || name[0] == '/')) || (name.size() >= 2 && name[1] == ':');
}

bool HasParentStep(const std::string &name)
{
    size_t start = 0;
    for (;;) {
        size_t end = name.find_first_of("\\/", start);
        if (name.compare(start, end == std::string::npos ? std::string::npos : end - start, "..") == 0)
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

// Size of a listed file as the installer will find it: the name is a
// Windows path relative to the current directory.
bool PatchFileSize(const std::string &name, uint64_t *size)
{
    FILE *f = fopen(name.c_str(), "rb");
    if (!f)
        return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long end = ok ? std::ftell(f) : -1;
    std::fclose(f);
    if (end < 0)
        return false;
    *size = (uint64_t)end;
    return true;
}

std::string Trailer(const std::vector<std::string> &names)
{
    std::string trailer;
    for (size_t i = 0; i < names.size(); i++) {
        if (i)
            trailer += "\r\n";
        trailer += '"' + names[i] + '"';
    }
    return trailer;
}

bool ReadWholeFile(const char *path, std::string *bytes)
{
    std::unique_ptr<FILE, FileCloser> f(fopen(path, "rb"));
    if (!f)
        return false;
    char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f.get())) > 0)
        bytes->append(block, n);
    return !std::ferror(f.get());
}

int PackUsage()
{
    std::fprintf(stderr, "usage: tailpatch pack [--offset N] --stub STUB --output PATCH NAME...\n");
    return kUsageStatus;
}

}  // namespace

int PackCommand(int argc, char **argv)
{
    const char *stubPath = nullptr, *outputPath = nullptr;
    long offset = 49152;
    std::vector<std::string> names;
    for (int i = 0; i < argc; i++) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--stub" && hasValue)
            stubPath = argv[++i];
        else if (arg == "--output" && hasValue)
            outputPath = argv[++i];
        else if (arg == "--offset" && hasValue) {
            if (!ParseOffset(argv[++i], &offset)) {
                std::fprintf(stderr, "tailpatch pack: bad offset '%s'\n", argv[i]);
                return kUsageStatus;
            }
        } else if (arg == "--")
            names.insert(names.end(), argv + i + 1, argv + argc), i = argc;
        else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-')
            return PackUsage();
        else
            names.push_back(arg);
    }
    if (!stubPath || !outputPath)
        return PackUsage();
    if (names.empty())
        std::fprintf(stderr, "tailpatch pack: warning: no files listed; the installer will copy nothing\n");

    // Everything is checked before the output is created, so a refused
    // pack leaves no file behind.
    bool ok = true;
    uint64_t total = 0;
    for (const std::string &name : names) {
        uint64_t size = 0;
        if (name.empty()) {
            std::fprintf(stderr, "tailpatch pack: an empty name is not a file\n");
            ok = false;
        } else if (name.find('"') != std::string::npos) {
            std::fprintf(stderr, "tailpatch pack: '%s': a name cannot hold a double quote\n", name.c_str());
            ok = false;
        } else if (name.size() > (size_t)kNameBufferSize - 1) {
            std::fprintf(stderr, "tailpatch pack: '%.48s...': name longer than %d bytes\n", name.c_str(),
                         kNameBufferSize - 1);
            ok = false;
        } else if (!PatchFileSize(name, &size)) {
            std::fprintf(stderr, "tailpatch pack: '%s': no such file under the current directory\n", name.c_str());
            ok = false;
        } else {
            if (IsAbsolute(name))
                std::fprintf(stderr, "tailpatch pack: warning: '%s' is absolute; the installer copies it from "
                                     "the current directory\n", name.c_str());
            if (HasParentStep(name))
                std::fprintf(stderr, "tailpatch pack: warning: '%s' steps out with '..'\n", name.c_str());
            total += size;
        }
    }

    std::string stub;
    if (!ReadWholeFile(stubPath, &stub)) {
        std::fprintf(stderr, "tailpatch pack: cannot read stub '%s': %s\n", stubPath, std::strerror(errno));
        return kUsageStatus;
    }
    if ((long)stub.size() != offset) {
        std::fprintf(stderr, "tailpatch pack: stub '%s' is %zu bytes; an installer stub is %ld bytes\n", stubPath,
                     stub.size(), offset);
        ok = false;
    }
    if (!ok)
        return 1;

    std::string bytes = stub + Trailer(names);
    FILE *out = fopen(outputPath, "wb");
    if (!out) {
        std::fprintf(stderr, "tailpatch pack: cannot create '%s': %s\n", outputPath, std::strerror(errno));
        return kUsageStatus;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    written = std::fclose(out) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "tailpatch pack: writing '%s' failed\n", outputPath);
        remove(outputPath);
        return 1;
    }
#ifndef _WIN32
    chmod(outputPath, 0755);
#endif
    std::printf("Packed %zu file(s) into %s.\n", names.size(), outputPath);
    std::printf("Total size of the patch files: %llu bytes\n", (unsigned long long)total);
    std::printf("Run it from the folder of the patch files as: %s %llu\n", outputPath, (unsigned long long)total);
    return 0;
}

int ListCommand(int argc, char **argv)
{
    long offset = 49152;
    const char *path = nullptr;
    for (int i = 0; i < argc; i++) {
        if (std::strcmp(argv[i], "--offset") == 0 && i + 1 < argc) {
            if (!ParseOffset(argv[++i], &offset))
                return kUsageStatus;
        } else if (!path) {
            path = argv[i];
        } else {
            path = nullptr;
            break;
        }
    }
    if (!path) {
        std::fprintf(stderr, "usage: tailpatch list [--offset N] PATCH\n");
        return kUsageStatus;
    }
    std::unique_ptr<FILE, FileCloser> f(fopen(path, "rb"));
    if (!f) {
        std::fprintf(stderr, "tailpatch list: cannot open '%s': %s\n", path, std::strerror(errno));
        return kUsageStatus;
    }
    std::fseek(f.get(), offset, SEEK_SET);
    char name[kNameBufferSize];
    int result;
    while ((result = ReadQuotedName(f.get(), name)) != kNoMoreNames) {
        if (result == kNameTooLong) {
            std::fprintf(stderr, "tailpatch list: entry '%s...' is longer than %d bytes\n", name, kNameBufferSize - 1);
            return 1;
        }
        std::printf("%s\n", name);
    }
    return 0;
}
