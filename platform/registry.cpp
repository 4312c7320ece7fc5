// The registry, read only: HKEY_LOCAL_MACHINE from the text file Wine keeps
// it in, $WINEPREFIX/system.reg. A key is opened by reading its section
// into memory; queries answer from that copy as Windows answers them.
#include "platform/win32.h"
#include "platform/paths.h"

#include <ctype.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>



struct RegistryValue {
    char *Name;
    DWORD Type;
    BYTE *Data;
    DWORD Size;
};

struct RegistryKey {
    RegistryValue *Values;
    int Count;
};

static void FreeKey(RegistryKey *key)
{
    for (int i = 0; i < key->Count; i++) {
        free(key->Values[i].Name);
        free(key->Values[i].Data);
    }
    free(key->Values);
    free(key);
}

// A growing byte string for the parser.
struct Bytes {
    BYTE *Data;
    DWORD Size;
    DWORD Room;
};

static int Put(Bytes *b, BYTE c)
{
    if (b->Size == b->Room) {
        DWORD room = b->Room ? b->Room * 2 : 64;
        BYTE *grown = (BYTE *)realloc(b->Data, room);
        if (!grown)
            return 0;
        b->Data = grown;
        b->Room = room;
    }
    b->Data[b->Size++] = c;
    return 1;
}

// The ANSI code page of this layer is Latin-1: characters outside it
// become '?', as Windows does for characters its code page lacks.
static int PutCodePoint(Bytes *b, unsigned long c)
{
    return Put(b, c < 256 ? (BYTE)c : '?');
}

static int HexValue(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads one UTF-8 sequence (Wine writes its files in UTF-8); a stray byte
// stands for itself.
static unsigned long DecodeUtf8(const char **p)
{
    const unsigned char *s = (const unsigned char *)*p;
    unsigned long c = s[0];
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    unsigned long value = extra == 3 ? (c & 7) : extra == 2 ? (c & 15) : (c & 31);
    for (int i = 1; i <= extra; i++) {
        if ((s[i] & 0xC0) != 0x80) {
            *p += 1;
            return c;
        }
        value = value << 6 | (s[i] & 0x3F);
    }
    if (extra == 0)
        value = c;
    *p += 1 + extra;
    return value;
}

// Parses a string in Wine's escaping, starting after its opening quote and
// ending at `close` ('"' for values, ']' for key names). Answers the
// position after the closing character, or null.
static const char *ParseString(const char *p, char close, Bytes *out)
{
    static const char kEscapes[] = "a\ab\bt\tn\nv\vf\fr\re\x1b";
    while (*p && *p != close) {
        unsigned long c;
        if (*p == '\\' && p[1]) {
            p++;
            const char *known = strchr(kEscapes, *p);
            if (*p == 'x') {
                c = 0;
                p++;
                for (int i = 0; i < 4 && HexValue(*p) >= 0; i++, p++)
                    c = c * 16 + (unsigned long)HexValue(*p);
            } else if (*p >= '0' && *p <= '7') {
                c = 0;
                for (int i = 0; i < 3 && *p >= '0' && *p <= '7'; i++, p++)
                    c = c * 8 + (unsigned long)(*p - '0');
            } else if (known && (known - kEscapes) % 2 == 0) {
                c = (unsigned char)known[1];
                p++;
            } else {
                c = (unsigned char)*p++;
            }
        } else {
            c = DecodeUtf8(&p);
        }
        if (!PutCodePoint(out, c))
            return NULL;
    }
    return *p == close ? p + 1 : NULL;
}

// Parses the comma-separated bytes of a hex value, across the lines that
// end in a backslash. `*line` moves to the value's last line.
static int ParseHex(const char *p, Bytes *out, char **line, FILE *file, size_t *lineRoom)
{
    for (;;) {
        while (*p == ' ' || *p == ',' || *p == '\t')
            p++;
        if (*p == '\\') {
            if (getline(line, lineRoom, file) < 0)
                return 0;
            p = *line;
            continue;
        }
        if (HexValue(p[0]) < 0)
            return 1;
        int value = HexValue(p[0]);
        if (HexValue(p[1]) >= 0)
            value = value * 16 + HexValue(*++p);
        if (!Put(out, (BYTE)value))
            return 0;
        p++;
    }
}

// Strings in the registry are stored in UTF-16; the A calls hand them out
// in the code page, terminator included.
static void Utf16ToAnsi(Bytes *b)
{
    DWORD n = 0;
    for (DWORD i = 0; i + 1 < b->Size; i += 2) {
        unsigned c = b->Data[i] | b->Data[i + 1] << 8;
        b->Data[n++] = c < 256 ? (BYTE)c : '?';
    }
    b->Size = n;
}

// Parses one value line: `"name"=...` or `@=...`. Answers 1 when the line
// held a value (stored in `value`), 0 otherwise.
static int ParseValue(char **line, size_t *lineRoom, FILE *file, RegistryValue *value)
{
    const char *p = *line;
    Bytes name = {}, data = {};
    if (*p == '@') {
        p++;
    } else if (*p == '"') {
        p = ParseString(p + 1, '"', &name);
        if (!p)
            goto fail;
    } else {
        return 0;
    }
    if (*p++ != '=')
        goto fail;

    if (*p == '"') {
        value->Type = REG_SZ;
        if (!ParseString(p + 1, '"', &data) || !Put(&data, 0))
            goto fail;
    } else if (strncmp(p, "str(", 4) == 0) {
        value->Type = (DWORD)strtoul(p + 4, (char **)&p, 16);
        if (strncmp(p, "):\"", 3) != 0 || !ParseString(p + 3, '"', &data) || !Put(&data, 0))
            goto fail;
    } else if (strncmp(p, "dword:", 6) == 0) {
        DWORD v = (DWORD)strtoul(p + 6, NULL, 16);
        value->Type = REG_DWORD;
        for (int i = 0; i < 4; i++)
            if (!Put(&data, (BYTE)(v >> (8 * i))))
                goto fail;
    } else if (strncmp(p, "hex", 3) == 0) {
        p += 3;
        value->Type = REG_BINARY;
        if (*p == '(')
            value->Type = (DWORD)strtoul(p + 1, (char **)&p, 16), p++;
        if (*p++ != ':' || !ParseHex(p, &data, line, file, lineRoom))
            goto fail;
        if (value->Type == REG_SZ || value->Type == REG_EXPAND_SZ || value->Type == REG_MULTI_SZ)
            Utf16ToAnsi(&data);
    } else {
        goto fail;
    }

    if (!Put(&name, 0))
        goto fail;
    value->Name = (char *)name.Data;
    value->Data = data.Data;
    value->Size = data.Size;
    return 1;

fail:
    free(name.Data);
    free(data.Data);
    return 0;
}

// Compares a key path of the caller with a section's path, ignoring case
// and treating a run of backslashes as one.
static int SameKeyPath(const char *a, const char *b)
{
    while (*a == '\\')
        a++;
    while (*b == '\\')
        b++;
    while (*a && *b) {
        if (*a == '\\' && *b == '\\') {
            while (*a == '\\')
                a++;
            while (*b == '\\')
                b++;
            continue;
        }
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b))
            return 0;
        a++, b++;
    }
    while (*a == '\\')
        a++;
    while (*b == '\\')
        b++;
    return *a == 0 && *b == 0;
}

static int AddValue(RegistryKey *key, const RegistryValue *value)
{
    RegistryValue *grown = (RegistryValue *)realloc(key->Values, sizeof *grown * (size_t)(key->Count + 1));
    if (!grown)
        return 0;
    key->Values = grown;
    key->Values[key->Count++] = *value;
    return 1;
}

// Reads the section of one key of HKEY_LOCAL_MACHINE into a new key.
static LSTATUS OpenMachineKey(const char *subKey, PHKEY result)
{
    char prefix[PATH_MAX], path[PATH_MAX + 16];
    if (!GetWinePrefix(prefix, sizeof prefix))
        return ERROR_FILE_NOT_FOUND;
    snprintf(path, sizeof path, "%s/system.reg", prefix);
    FILE *file = fopen(path, "r");
    if (!file)
        return ERROR_FILE_NOT_FOUND;

    RegistryKey *key = NULL;
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    char *line = NULL;
    size_t lineRoom = 0;
    int inKey = 0;
    while (getline(&line, &lineRoom, file) >= 0) {
        line[strcspn(line, "\r\n")] = 0;
        if (line[0] == '[') {
            if (inKey)
                break;  // the key's section has ended
            Bytes name = {};
            if (ParseString(line + 1, ']', &name) && Put(&name, 0) && SameKeyPath((char *)name.Data, subKey)) {
                key = (RegistryKey *)calloc(1, sizeof *key);
                if (!key) {
                    free(name.Data);
                    status = ERROR_NOT_ENOUGH_MEMORY;
                    break;
                }
                inKey = 1;
                status = ERROR_SUCCESS;
            }
            free(name.Data);
        } else if (inKey) {
            RegistryValue value = {};
            if (ParseValue(&line, &lineRoom, file, &value) && !AddValue(key, &value)) {
                free(value.Name);
                free(value.Data);
                status = ERROR_NOT_ENOUGH_MEMORY;
                break;
            }
        }
    }
    free(line);
    fclose(file);

    if (status != ERROR_SUCCESS) {
        if (key)
            FreeKey(key);
        return status;
    }
    *result = key;
    return ERROR_SUCCESS;
}

// The system's code is a 32-bit program: in a 64-bit prefix it sees the
// machine's software keys as 32-bit programs installed them, under
// Wow6432Node, and the keys both kinds share in their one place.
LSTATUS RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    static const char kSoftware[] = "Software\\";
    static const char kRedirected[] = "Software\\Wow6432Node";
    if (!result)
        return ERROR_INVALID_PARAMETER;
    if (root != HKEY_LOCAL_MACHINE || !subKey)
        return ERROR_FILE_NOT_FOUND;

    const size_t software = sizeof kSoftware - 1;
    if (strncasecmp(subKey, kSoftware, software) == 0 &&
        strncasecmp(subKey, kRedirected, sizeof kRedirected - 1) != 0) {
        char redirected[1024];
        int n = snprintf(redirected, sizeof redirected, "%s\\%s", kRedirected, subKey + software);
        if (n > 0 && (size_t)n < sizeof redirected && OpenMachineKey(redirected, result) == ERROR_SUCCESS)
            return ERROR_SUCCESS;
    }
    return OpenMachineKey(subKey, result);
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (!key || key == HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    const char *name = valueName ? valueName : "";
    for (int i = 0; i < key->Count; i++) {
        const RegistryValue *v = &key->Values[i];
        if (strcasecmp(v->Name, name) != 0)
            continue;
        if (type)
            *type = v->Type;
        if (!dataSize)
            return ERROR_SUCCESS;
        DWORD room = *dataSize;
        *dataSize = v->Size;
        if (!data)
            return ERROR_SUCCESS;
        if (v->Size > room)
            return ERROR_MORE_DATA;
        memcpy(data, v->Data, v->Size);
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS RegCloseKey(HKEY key)
{
    if (!key)
        return ERROR_INVALID_HANDLE;
    if ((uintptr_t)key >= 0x80000000u && (uintptr_t)key <= 0x80000003u)
        return ERROR_SUCCESS;
    FreeKey(key);
    return ERROR_SUCCESS;
}
