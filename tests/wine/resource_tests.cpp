// The resources of the built program, read back from the file through the
// Windows loader: the menu, the accelerator keys, the strings, the icon and
// the version record, all of them in Japanese only. Both the build beside the
// tests and, when it has been built, the one of the other bitness are read.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "harness.h"

namespace {

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT); // 0x0411

struct Build {
    const char *label;
    const char *sibling; // its preset's folder, from the one the tests are built into
    size_t pointerBytes;
    bool Beside() const { return pointerBytes == sizeof(void *); }
};

std::ostream &operator<<(std::ostream &out, const Build &build) { return out << build.label; }

// The build of the tests' own bitness is the one beside them and must be
// there; the other is read from its own preset's folder when it has been built.
const Build kBuilds[] = {
    {"i686", "..\\win32\\lumaquill.exe", 4},
    {"x86_64", "..\\win64\\lumaquill.exe", 8},
};

// One resource's bytes; reads past the end give zero, so callers check the
// size first.
struct Bytes {
    const BYTE *data = nullptr;
    size_t size = 0;

    bool Has(size_t offset, size_t length) const { return data && offset <= size && length <= size - offset; }
    WORD Word(size_t offset) const
    {
        WORD value = 0;
        if (Has(offset, sizeof value))
            std::memcpy(&value, data + offset, sizeof value);
        return value;
    }
    DWORD Dword(size_t offset) const
    {
        DWORD value = 0;
        if (Has(offset, sizeof value))
            std::memcpy(&value, data + offset, sizeof value);
        return value;
    }
};

// The standard resource types are numbers; this build spells them as narrow
// strings.
LPCWSTR TypeW(LPCSTR type) { return MAKEINTRESOURCEW(LOWORD(reinterpret_cast<ULONG_PTR>(type))); }

// "type/name/language" for one resource in the file, with numbers for
// numeric types and names.
std::string ResourceKey(LPCWSTR type, LPCWSTR name, WORD language)
{
    auto part = [](LPCWSTR id) {
        if (IS_INTRESOURCE(id))
            return std::to_string(reinterpret_cast<ULONG_PTR>(id));
        std::string text;
        for (; *id; id++)
            text += *id < 0x80 ? static_cast<char>(*id) : '?';
        return "\"" + text + "\"";
    };
    char lang[8];
    snprintf(lang, sizeof lang, "%04X", language);
    return part(type) + "/" + part(name) + "/" + lang;
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR found)
{
    reinterpret_cast<std::vector<std::string> *>(found)->push_back(ResourceKey(type, name, language));
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found)
{
    EnumResourceLanguagesW(module, type, name, AddLanguage, found);
    return TRUE;
}

BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR found)
{
    EnumResourceNamesW(module, type, AddName, found);
    return TRUE;
}

// The version functions live in version.dll, which the tests do not link.
template <typename Function> Function VersionFunction(const char *name)
{
    HMODULE version = LoadLibraryA("version.dll");
    FARPROC address = version ? GetProcAddress(version, name) : NULL;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

class ResourcesOf : public ::testing::TestWithParam<Build> {
protected:
    void SetUp() override
    {
        char full[MAX_PATH];
        std::string path = BuildFolder() + (GetParam().Beside() ? "lumaquill.exe" : GetParam().sibling);
        DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, NULL);
        path_ = length && length < MAX_PATH ? std::string(full, length) : path;
        if (GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES) {
            if (!GetParam().Beside())
                GTEST_SKIP() << path_ << " has not been built";
            FAIL() << path_ << " is missing";
        }
        // As data only: the file's code is not ours to run here, only its resources.
        module_ = LoadLibraryExA(path_.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_TRUE(module_) << path_ << ": error " << GetLastError();
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
    }

    // A resource as stored in Japanese; no other language is looked at.
    Bytes Japanese(LPCSTR type, WORD id) const
    {
        Bytes bytes;
        HRSRC found = FindResourceExW(module_, TypeW(type), MAKEINTRESOURCEW(id), kJapanese);
        if (!found)
            return bytes;
        bytes.data = static_cast<const BYTE *>(LockResource(LoadResource(module_, found)));
        bytes.size = bytes.data ? SizeofResource(module_, found) : 0;
        return bytes;
    }

    std::string path_;
    HMODULE module_ = NULL;
};

// The icon images the icon group lists, in its order.
struct IconEntry {
    BYTE width, height, colours;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};

std::vector<IconEntry> IconGroup(const Bytes &group)
{
    // A 6-byte header (reserved, type, count), then 14 bytes per image.
    std::vector<IconEntry> entries;
    WORD count = group.Word(4);
    for (size_t i = 0, at = 6; i < count && group.Has(at, 14); i++, at += 14)
        entries.push_back({group.data[at], group.data[at + 1], group.data[at + 2], group.Word(at + 4),
                           group.Word(at + 6), group.Dword(at + 8), group.Word(at + 12)});
    return entries;
}

TEST_P(ResourcesOf, EveryResourceIsJapaneseAndNoneIsStray)
{
    std::vector<std::string> found;
    ASSERT_TRUE(EnumResourceTypesW(module_, AddType, reinterpret_cast<LONG_PTR>(&found)));
    std::sort(found.begin(), found.end());

    std::vector<std::string> expected = {
        ResourceKey(TypeW(RT_MENU), MAKEINTRESOURCEW(103), kJapanese),
        ResourceKey(TypeW(RT_ACCELERATOR), MAKEINTRESOURCEW(105), kJapanese),
        ResourceKey(TypeW(RT_STRING), MAKEINTRESOURCEW(1), kJapanese),
        ResourceKey(TypeW(RT_GROUP_ICON), MAKEINTRESOURCEW(101), kJapanese),
        ResourceKey(TypeW(RT_VERSION), MAKEINTRESOURCEW(1), kJapanese),
    };
    // The images are numbered by the resource compiler; they are the ones
    // the group lists.
    for (const IconEntry &image : IconGroup(Japanese(RT_GROUP_ICON, 101)))
        expected.push_back(ResourceKey(TypeW(RT_ICON), MAKEINTRESOURCEW(image.id), kJapanese));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected) << "type/name/language of every resource in " << path_;
}

struct MenuRow {
    const char *label;
    const wchar_t *text; // NULL for the separator
    UINT id;
};

TEST_P(ResourcesOf, MenuIsOnePopupHoldingTheSevenItemsInOrder)
{
    Bytes raw = Japanese(RT_MENU, 103);
    ASSERT_TRUE(raw.data) << "menu 103 in language 0411";
    HMENU bar = LoadMenuIndirectW(raw.data);
    ASSERT_TRUE(bar);

    ASSERT_EQ(GetMenuItemCount(bar), 1);
    MENUITEMINFOW top = {};
    top.cbSize = sizeof top;
    top.fMask = MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoW(bar, 0, TRUE, &top));
    EXPECT_EQ(top.fType, static_cast<UINT>(MFT_STRING));
    EXPECT_EQ(top.fState & (MFS_CHECKED | MFS_DISABLED), 0u);
    WCHAR text[128] = L"";
    GetMenuStringW(bar, 0, text, ARRAYSIZE(text), MF_BYPOSITION);
    EXPECT_EQ(std::wstring(text), L"\u30e1\u30cb\u30e5\u30fc(&M)"); // メニュー(&M)
    HMENU popup = top.hSubMenu;
    ASSERT_TRUE(popup);

    const MenuRow rows[] = {
        {"Habitat II", L"Habitat\u2161Ver2(&H)", 40004},
        {"J-chat", L"\uff2a\u30c1\u30e3\u30c3\u30c8(&J)", 40001},
        {"Sanrio chit-chat", L"\u30b5\u30f3\u30ea\u30aa \u30c1\u30c3\u30c8\u30c1\u30e3\u30c3\u30c8(&S)", 40002},
        {"erase after sending", L"\u9001\u4fe1\u5f8c\u6587\u5b57\u3092\u6d88\u53bb(&D)", 40003},
        {"always on top", L"\u5e38\u306b\u30a6\u30a4\u30f3\u30c9\u30a6\u3092\u624b\u524d\u306b", 40005},
        {"separator", NULL, 0},
        {"exit", L"\u7d42\u4e86(&E)", 1000},
    };
    EXPECT_EQ(GetMenuItemCount(popup), static_cast<int>(ARRAYSIZE(rows)));
    for (UINT position = 0; position < ARRAYSIZE(rows); position++) {
        const MenuRow &row = rows[position];
        SCOPED_TRACE(row.label);
        MENUITEMINFOW item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE | MIIM_ID;
        ASSERT_TRUE(GetMenuItemInfoW(popup, position, TRUE, &item)) << "position " << position;
        EXPECT_EQ(item.fType, static_cast<UINT>(row.text ? MFT_STRING : MFT_SEPARATOR));
        EXPECT_EQ(item.hSubMenu, HMENU(NULL));
        // The separator is stored as an empty item; the loader always marks
        // it greyed, as separators cannot be chosen.
        if (!row.text)
            continue;
        EXPECT_EQ(item.fState & (MFS_CHECKED | MFS_DISABLED), 0u) << "checked or greyed";
        EXPECT_EQ(item.wID, row.id);
        text[0] = 0;
        GetMenuStringW(popup, position, text, ARRAYSIZE(text), MF_BYPOSITION);
        EXPECT_EQ(std::wstring(text), row.text);
        // Commands are found by number; a number used twice finds the first.
        text[0] = 0;
        GetMenuStringW(bar, row.id, text, ARRAYSIZE(text), MF_BYCOMMAND);
        EXPECT_EQ(std::wstring(text), row.text) << "looked up as command " << row.id;
    }
    DestroyMenu(bar);
}

struct AccelRow {
    const char *label;
    WORD flags, key, command;
};

TEST_P(ResourcesOf, AcceleratorsAreCtrlAToSendAndCtrlQToExit)
{
    const WORD keyFlags = FVIRTKEY | FNOINVERT | FCONTROL; // 0x0B
    const WORD lastEntry = 0x80;
    const AccelRow rows[] = {
        {"Ctrl+A sends", keyFlags, 'A', 40006},
        {"Ctrl+Q exits, last entry", keyFlags | lastEntry, 'Q', 1000},
    };
    Bytes raw = Japanese(RT_ACCELERATOR, 105);
    ASSERT_TRUE(raw.data) << "accelerator table 105 in language 0411";
    // Each entry: flags, key, command and padding, a WORD each.
    ASSERT_EQ(raw.size, ARRAYSIZE(rows) * 8);
    for (size_t i = 0; i < ARRAYSIZE(rows); i++) {
        SCOPED_TRACE(rows[i].label);
        EXPECT_EQ(raw.Word(i * 8), rows[i].flags);
        EXPECT_EQ(raw.Word(i * 8 + 2), rows[i].key);
        EXPECT_EQ(raw.Word(i * 8 + 4), rows[i].command);
    }
}

TEST_P(ResourcesOf, StringBlockHoldsTheClassNameAndTheTitleOnly)
{
    // Block 1 holds strings 0 to 15, each a length and that many characters.
    const std::wstring expected[16] = {L"", L"Lumaquill", L"Lumaquillpost"};
    Bytes raw = Japanese(RT_STRING, 1);
    ASSERT_TRUE(raw.data) << "string block 1 in language 0411";
    size_t at = 0;
    for (int id = 0; id < 16; id++) {
        SCOPED_TRACE("string " + std::to_string(id));
        ASSERT_TRUE(raw.Has(at, 2)) << "block ends early";
        WORD length = raw.Word(at);
        at += 2;
        ASSERT_TRUE(raw.Has(at, length * 2u)) << "block ends early";
        std::wstring text(length, L'\0');
        std::memcpy(&text[0], raw.data + at, length * 2u);
        at += length * 2u;
        EXPECT_EQ(text, expected[id]);
    }
}

struct LookupRow {
    const char *label;
    bool (*found)(HMODULE module);
};

// The program asks for its resources by number and no language, and the
// loader must then settle on the Japanese ones, the only ones there are.
TEST_P(ResourcesOf, TheProgramsOwnLookupsFindEachResource)
{
    const LookupRow rows[] = {
        {"menu by the class's menu name",
         [](HMODULE module) {
             HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(103));
             bool found = menu && GetMenuItemCount(menu) == 1;
             DestroyMenu(menu);
             return found;
         }},
        {"accelerators, both entries",
         [](HMODULE module) {
             HACCEL table = LoadAcceleratorsA(module, MAKEINTRESOURCEA(105));
             ACCEL entries[4];
             int count = table ? CopyAcceleratorTableW(table, entries, ARRAYSIZE(entries)) : 0;
             bool found = count == 2 && entries[0].cmd == 40006 && entries[1].cmd == 1000;
             DestroyAcceleratorTable(table);
             return found;
         }},
        {"class name",
         [](HMODULE module) {
             char text[64] = "";
             return LoadStringA(module, 1, text, sizeof text) == 9 && std::string(text) == "Lumaquill";
         }},
        {"title",
         [](HMODULE module) {
             char text[64] = "";
             return LoadStringA(module, 2, text, sizeof text) == 13 && std::string(text) == "Lumaquillpost";
         }},
        {"small icon, 16x16",
         [](HMODULE module) {
             HICON icon = static_cast<HICON>(
                 LoadImageA(module, MAKEINTRESOURCEA(101), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
             DestroyIcon(icon);
             return icon != NULL;
         }},
        {"icon by number",
         [](HMODULE module) {
             HICON icon = LoadIconA(module, MAKEINTRESOURCEA(101));
             return icon != NULL;
         }},
    };
    for (const LookupRow &row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_TRUE(row.found(module_));
    }
}

struct NameRow {
    const char *label;
    LPCSTR type;
};

// The window class asks for an icon under the class's name and must get
// none: the window shows the small icon only.
TEST_P(ResourcesOf, NoIconCarriesTheClassName)
{
    const NameRow rows[] = {
        {"icon group", RT_GROUP_ICON},
        {"icon image", RT_ICON},
    };
    for (const NameRow &row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(FindResourceA(module_, "Lumaquill", row.type), HRSRC(NULL));
    }
    EXPECT_EQ(LoadIconA(module_, "Lumaquill"), HICON(NULL));
}

struct IconRow {
    const char *label;
    int size;
};

TEST_P(ResourcesOf, IconHasA32And16PixelImageIn16Colours)
{
    const IconRow rows[] = {{"32x32", 32}, {"16x16", 16}};
    Bytes group = Japanese(RT_GROUP_ICON, 101);
    ASSERT_TRUE(group.data) << "icon group 101 in language 0411";
    ASSERT_TRUE(group.Has(0, 6));
    EXPECT_EQ(group.Word(0), 0) << "reserved";
    EXPECT_EQ(group.Word(2), 1) << "an icon, not a cursor";
    ASSERT_EQ(group.Word(4), ARRAYSIZE(rows));
    ASSERT_EQ(group.size, 6 + 14 * ARRAYSIZE(rows));
    std::vector<IconEntry> entries = IconGroup(group);

    for (const IconRow &row : rows) {
        SCOPED_TRACE(row.label);
        const IconEntry *entry = NULL;
        int matches = 0;
        for (const IconEntry &e : entries)
            if (e.width == row.size) {
                entry = &e;
                matches++;
            }
        ASSERT_EQ(matches, 1) << "images of this width";
        EXPECT_EQ(entry->height, row.size);
        EXPECT_EQ(entry->colours, 16);
        EXPECT_EQ(entry->planes, 1);
        EXPECT_EQ(entry->bitCount, 4);

        Bytes image = Japanese(RT_ICON, entry->id);
        ASSERT_TRUE(image.data) << "image " << entry->id << " in language 0411";
        EXPECT_EQ(image.size, entry->bytes);
        ASSERT_TRUE(image.Has(0, sizeof(BITMAPINFOHEADER)));
        BITMAPINFOHEADER header;
        std::memcpy(&header, image.data, sizeof header);
        EXPECT_EQ(header.biSize, sizeof header);
        EXPECT_EQ(header.biWidth, row.size);
        EXPECT_EQ(header.biHeight, 2 * row.size) << "colour bits and mask";
        EXPECT_EQ(header.biPlanes, 1);
        EXPECT_EQ(header.biBitCount, 4);

        // Windows picks this image when asked for this size, and can draw it.
        EXPECT_EQ(LookupIconIdFromDirectoryEx(const_cast<BYTE *>(group.data), TRUE, row.size, row.size,
                                              LR_DEFAULTCOLOR),
                  entry->id);
        HICON icon = CreateIconFromResourceEx(const_cast<BYTE *>(image.data), static_cast<DWORD>(image.size),
                                              TRUE, 0x00030000, row.size, row.size, LR_DEFAULTCOLOR);
        EXPECT_TRUE(icon);
        DestroyIcon(icon);
    }
}

struct FieldRow {
    const char *label;
    DWORD actual, expected;
};

struct VersionStringRow {
    const char *name;
    const char *value; // "" for an entry that is present and empty
};

TEST_P(ResourcesOf, VersionRecordIsVersion1_1InJapanese)
{
    EXPECT_TRUE(Japanese(RT_VERSION, 1).data) << "version record 1 in language 0411";

    auto getSize = VersionFunction<decltype(&GetFileVersionInfoSizeA)>("GetFileVersionInfoSizeA");
    auto getInfo = VersionFunction<decltype(&GetFileVersionInfoA)>("GetFileVersionInfoA");
    auto query = VersionFunction<decltype(&VerQueryValueA)>("VerQueryValueA");
    ASSERT_TRUE(getSize && getInfo && query) << "version.dll";
    DWORD handle = 0;
    DWORD size = getSize(path_.c_str(), &handle);
    ASSERT_GT(size, 0u) << "error " << GetLastError();
    std::vector<BYTE> info(size);
    ASSERT_TRUE(getInfo(path_.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(query(info.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
    ASSERT_EQ(length, sizeof *fixed);
    const FieldRow fields[] = {
        {"signature", fixed->dwSignature, 0xFEEF04BD},
        {"file version, high", fixed->dwFileVersionMS, MAKELONG(1, 1)},
        {"file version, low", fixed->dwFileVersionLS, MAKELONG(0, 0)},
        {"product version, high", fixed->dwProductVersionMS, MAKELONG(1, 1)},
        {"product version, low", fixed->dwProductVersionLS, MAKELONG(0, 0)},
        {"flags mask", fixed->dwFileFlagsMask, 0x3F},
        {"flags", fixed->dwFileFlags, 0x0A},
        {"operating system", fixed->dwFileOS, 0x4},
        {"type", fixed->dwFileType, 0x1},
        {"subtype", fixed->dwFileSubtype, 0},
    };
    for (const FieldRow &field : fields) {
        SCOPED_TRACE(field.label);
        EXPECT_EQ(field.actual, field.expected);
    }

    const VersionStringRow strings[] = {
        {"Comments", ""},
        {"CompanyName", ""},
        {"FileDescription", "Lumaquill Post"},
        {"FileVersion", "Version 1.1"},
        {"InternalName", "Lumaquill"},
        {"LegalCopyright", ""},
        {"LegalTrademarks", ""},
        {"OriginalFilename", "lumaquill.exe"},
        {"PrivateBuild", ""},
        {"ProductName", "Lumaquill Post"},
        {"ProductVersion", "Version 1.1"},
        {"SpecialBuild", ""},
    };
    for (const VersionStringRow &row : strings) {
        SCOPED_TRACE(row.name);
        std::string key = std::string("\\StringFileInfo\\041104e4\\") + row.name;
        char *value = NULL;
        length = 0;
        ASSERT_TRUE(query(info.data(), key.c_str(), reinterpret_cast<void **>(&value), &length)) << "present";
        size_t expectedLength = std::strlen(row.value);
        // The stored length may or may not count the closing NUL.
        ASSERT_TRUE(length == expectedLength || length == expectedLength + 1) << "length " << length;
        std::string text = length ? std::string(value, length) : std::string();
        if (length == expectedLength + 1) {
            EXPECT_EQ(text.back(), '\0');
            text.pop_back();
        }
        EXPECT_EQ(text, row.value);
    }

    WORD *translation = NULL;
    length = 0;
    ASSERT_TRUE(query(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation), &length));
    ASSERT_EQ(length, 4u) << "exactly one language and code page";
    EXPECT_EQ(translation[0], kJapanese);
    EXPECT_EQ(translation[1], 0x04E4) << "code page";
}

INSTANTIATE_TEST_SUITE_P(Built, ResourcesOf, ::testing::ValuesIn(kBuilds),
                         [](const ::testing::TestParamInfo<Build> &info) { return std::string(info.param.label); });

} // namespace
