// The INI engine against kernel32's private-profile functions: the same calls on the same random and
// hand-made files must give the same values, lists and file bytes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/IniEngine.h"

namespace ini = dct::ini;

namespace {

std::string Escape(const std::string& s) {
    std::string out;
    char hex[8];
    for (unsigned char c : s) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\\') out += "\\\\";
        else if (c < 32 || c > 126) std::snprintf(hex, sizeof hex, "\\x%02X", c), out += hex;
        else out += static_cast<char>(c);
    }
    return out;
}

std::string Join(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v) out += "<" + Escape(s) + ">";
    return out;
}

std::string AsciiOnly(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    return s;
}

void Put(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string Get(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<absent>";
    std::string s;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

std::vector<std::string> Split(const std::vector<char>& buffer, DWORD n) {
    std::vector<std::string> out;
    const char* p = buffer.data();
    const char* end = p + n;
    while (p < end && *p) {
        std::string s(p);
        p += s.size() + 1;
        out.push_back(s);
    }
    return out;
}

std::vector<std::string> OsSections(const std::string& file) {
    std::vector<char> buffer(1 << 16);
    DWORD n = GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    return Split(buffer, n);
}

std::vector<std::string> OsKeys(const std::string& file, const std::string& section) {
    std::vector<char> buffer(1 << 16);
    DWORD n = GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(), static_cast<DWORD>(buffer.size()),
                                       file.c_str());
    return Split(buffer, n);
}

std::string OsRead(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& fallback, DWORD size) {
    std::vector<char> buffer(size + 8, '\x7F');
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(), size,
                                       file.c_str());
    std::string value(buffer.data());
    EXPECT_EQ(n, value.size()) << "returned length";
    return value;
}

// Names that the random files use and the calls ask for, so that lookups hit as well as miss.
const char* const kNames[] = {"5",   "7",  "-1",  "05",    "a",      "A",        "DCT_Port", "dct_port", "DCT_type",
                              "x y", ";c", "[",   "\xC0",  "\xE0",   "k]",       "12345678", "",         "Z",
                              "z",   "=",  "q\"", "'q'",   "DCT_ID", "DCT_Rate", "b=c",      " 5",       "5 "};
const char* const kValues[] = {"1",     "",       "\"abc\"", "'x'", "\"",       "\"\"",    "'a\"",  "  v  ",
                               "a=b",   "\xFF\xC0", "[s]",   "-2",  "\"q\" x", " \"q\" ", "$1F",  ";v",
                               "\t1\t", "\x1A",  "v\x01w"};

class Generator {
public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }

    std::string Name() {
        std::string n = kNames[Pick(sizeof kNames / sizeof *kNames)];
        if (Chance(10))  // another spelling of the same name
            for (char& c : n)
                if (c >= 'a' && c <= 'z' && Chance(50)) c = static_cast<char>(c - 32);
        return n;
    }
    std::string Value() {
        if (Chance(3)) return std::string(1500 + Pick(1200), 'v') + (Chance(50) ? "\"" : "");
        if (Chance(3)) return "\"" + std::string(2046 + Pick(3), 'w') + "\"";
        std::string v = kValues[Pick(sizeof kValues / sizeof *kValues)];
        if (Chance(10)) v += std::to_string(Pick(1000));
        return v;
    }
    std::string Pad() {
        static const char* const pads[] = {"", "", "", "", " ", "  ", "\t", " \t ", "\x1A", "\x0B", "\x0C"};
        return pads[Pick(sizeof pads / sizeof *pads)];
    }
    std::string Eol() {
        static const char* const eols[] = {"\r\n", "\r\n", "\r\n", "\r\n", "\n", "\r", "\r\r\n", "\n\n", " \r\n"};
        return eols[Pick(sizeof eols / sizeof *eols)];
    }

    std::string Line() {
        switch (Pick(20)) {
            case 0: case 1: case 2: case 3:
                return Pad() + "[" + Pad() + Name() + Pad() + "]" + (Chance(10) ? " junk]x" : "") + Pad();
            case 4: return Pad() + Name() + Pad();                        // no '='
            case 5: return ";" + Name() + "=" + Value();                    // comment
            case 6: return "";                                              // blank
            case 7: return Pad() + "=" + Value();                          // nameless
            case 8: return "[" + Name();                                    // header without ']'
            case 9: return std::string("k\0x", 3) + "=" + Value();          // zero byte in the name
            case 10: return Name() + "=" + Value().substr(0, 1) + std::string(1, '\0') + "tail";
            default: return Pad() + Name() + Pad() + "=" + Pad() + Value() + Pad();
        }
    }

    std::string File() {
        std::string f;
        if (Chance(3)) return f;  // empty file
        int lines = 1 + Pick(14);
        for (int i = 0; i < lines; ++i) {
            f += Line();
            if (i + 1 < lines || Chance(80)) f += Eol();
        }
        if (Chance(3)) {  // a UTF-8 mark keeps the file as it is only while the text is ASCII
            f = "\xEF\xBB\xBF" + AsciiOnly(f);
        }
        return f;
    }

private:
    std::mt19937 rng_;
};

class ProfileDiff : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir_ = std::string(temp) + "inidiff-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(GetTickCount());
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
    }
    void TearDown() override {
        for (const auto& f : created_) DeleteFileA(f.c_str());
        RemoveDirectoryA(dir_.c_str());
    }

    std::string NewPath(const std::string& stem) {
        std::string p = dir_ + "\\" + stem + std::to_string(created_.size()) + ".ini";
        created_.push_back(p);
        return p;
    }

    // Every comparison on one file content; false when something differed.
    void Compare(const std::string& content, Generator& g, const std::string& label) {
        const std::string path = NewPath("r");
        Put(path, content);
        const std::string where = label + " file \"" + Escape(content) + "\"";

        EXPECT_EQ(Join(OsSections(path)), Join(ini::SectionNames(content))) << where;
        for (int i = 0; i < 3; ++i) {
            std::string section = g.Name();
            EXPECT_EQ(Join(OsKeys(path, section)), Join(ini::KeyNames(content, section)))
                << where << " keys of [" << Escape(section) << "]";
        }
        for (int i = 0; i < 6; ++i) {
            std::string section = g.Name(), key = g.Name(), fallback = g.Chance(20) ? g.Value() : "D";
            static const DWORD sizes[] = {2048, 2048, 2048, 2, 3, 4, 5, 8};
            DWORD size = sizes[g.Pick(8)];
            EXPECT_EQ(Escape(OsRead(path, section, key, fallback, size)),
                      Escape(ini::ReadValue(ini::FileState::Present, content, section, key, fallback, size)))
                << where << " read [" << Escape(section) << "] " << Escape(key) << " default " << Escape(fallback)
                << " size " << size;
        }

        // A write and an erase, each on its own copy of the file.
        std::string section = g.Name(), key = g.Name(), value = g.Pad() + g.Value();
        if (key.empty()) key = "k";  // an empty key name is not something the library writes
        if (content.rfind("\xEF\xBB\xBF", 0) == 0) {
            // Behind a UTF-8 mark the platform writes UTF-8 while the engine keeps bytes: both agree on ASCII.
            section = AsciiOnly(section), key = AsciiOnly(key), value = AsciiOnly(value);
        }
        const std::string wpath = NewPath("w");
        Put(wpath, content);
        EXPECT_TRUE(WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), wpath.c_str()));
        EXPECT_EQ(Escape(Get(wpath)), Escape(ini::WriteValue(content, section, key, value).value_or(content)))
            << where << " write [" << Escape(section) << "] " << Escape(key) << "=" << Escape(value);

        section = g.Name();
        const std::string epath = NewPath("e");
        Put(epath, content);
        EXPECT_TRUE(WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, epath.c_str()));
        EXPECT_EQ(Escape(Get(epath)), Escape(ini::EraseSection(content, section).value_or(content)))
            << where << " erase [" << Escape(section) << "]";
    }

    std::string dir_;
    std::vector<std::string> created_;
};

}  // namespace

TEST_F(ProfileDiff, HandMadeFiles) {
    const std::string files[] = {
        "[5]\r\nDCT_Port=2\r\nDCT_Rate=3\r\nDCT_type=1\r\nDCT_ID=5\r\n",
        "; settings\r\n\r\n[5]\r\n  dct_port = 4 \r\n\r\n[7]\r\nDCT_Port=1\r\n",
        "[5]\r\n[05]\r\nDCT_Port=3\r\n[5]\r\nDCT_Port=9\r\n",
        "[9]\r\n;DCT_Port=1\r\nbare\r\n=x\r\n=y\r\nDCT_Port=2\r\n",
        "top=1\r\n[]\r\nq=2\r\n[ a ]\r\nk=\"v\"\r\n[a\r\nk2='w'\r\n",
        "\xEF\xBB\xBF[5]\r\nDCT_Port=6\r\n",
        "[5]\rDCT_Port=1\rDCT_Rate=2\n\n\nDCT_ID\x1A=\x1A" "5\x1A",
        std::string("[5]\r\nDCT_Port=1\0x\r\n[6\0]\r\nk=1", 28),
        "no header at all",
        "",
    };
    Generator g(12345);
    int n = 0;
    for (const auto& f : files) {
        for (int round = 0; round < 4; ++round) Compare(f, g, "hand-made " + std::to_string(n));
        ++n;
    }
}

TEST_F(ProfileDiff, RandomFiles) {
    Generator g(20240601);
    for (int i = 0; i < 250 && !HasFailure(); ++i) Compare(g.File(), g, "random " + std::to_string(i));
}

TEST_F(ProfileDiff, WriteSequencesMatch) {
    // Writes applied one after another, as TDrvIni does them, keep both sides equal at each step.
    Generator g(777);
    for (int i = 0; i < 30 && !HasFailure(); ++i) {
        std::string content = g.File();
        const std::string path = NewPath("s");
        Put(path, content);
        for (int step = 0; step < 5; ++step) {
            std::string section = g.Name(), key = g.Name(), value = g.Value();
            if (key.empty()) key = "DCT_Port";
            if (content.rfind("\xEF\xBB\xBF", 0) == 0)
                section = AsciiOnly(section), key = AsciiOnly(key), value = AsciiOnly(value);
            EXPECT_TRUE(WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()));
            content = ini::WriteValue(content, section, key, value).value_or(content);
            ASSERT_EQ(Escape(Get(path)), Escape(content)) << "sequence " << i << " step " << step;
        }
    }
}

TEST_F(ProfileDiff, MissingFileAndMissingDirectory) {
    const std::string missing = NewPath("m");
    EXPECT_EQ(OsRead(missing, "5", "DCT_Port", "\"1\" ", 2048),
              ini::ReadValue(ini::FileState::Missing, "", "5", "DCT_Port", "\"1\" "));
    EXPECT_TRUE(OsSections(missing).empty());
    EXPECT_TRUE(OsKeys(missing, "5").empty());
    // Erasing in a missing file changes nothing and creates nothing.
    EXPECT_TRUE(WritePrivateProfileStringA("5", nullptr, nullptr, missing.c_str()));
    EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(ini::EraseSection("", "5"));
    // The first write creates it.
    EXPECT_TRUE(WritePrivateProfileStringA("5", "DCT_Port", "2", missing.c_str()));
    EXPECT_EQ(Get(missing), ini::WriteValue("", "5", "DCT_Port", "2").value());

    const std::string nowhere = dir_ + "\\absent\\DctDrv.ini";
    EXPECT_EQ(OsRead(nowhere, "5", "DCT_Port", "\"1\" ", 2048),
              ini::ReadValue(ini::FileState::Unreachable, "", "5", "DCT_Port", "\"1\" "));
    EXPECT_FALSE(WritePrivateProfileStringA("5", "DCT_Port", "2", nowhere.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("5", nullptr, nullptr, nowhere.c_str()));
}
