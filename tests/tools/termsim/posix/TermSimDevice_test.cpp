// The simulated device's files: what the simulator reads from them and what it leaves in them when
// a write fails, and the guide's own fault-injection example.
#include "TermSimDevice.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/TermSimFixture.h"

namespace dct::termsim {
namespace {

std::string Contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The limit a full disk sets, for this process's writes to files only, while it lives.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST(SimulatedDevice, ATableWriteThatFailsLeavesTheTableItHad) {
    test::TermSimFixture sim;
    const std::string before = "4600000000017;0;Хлеб;шт\n";
    sim.WriteFile("table.csv", before);
    std::vector<Record> table(500, Record{u"4601234567890", u"0", u"Молоко пастеризованное 3,2%", u"л"});
    DeviceFiles device(sim.Folder());
    for (bool append : {false, true}) {
        SCOPED_TRACE(append ? "appended" : "full table");
        {
            FileSizeLimit full(4096);
            EXPECT_FALSE(device.WriteTable(table, append));
        }
        EXPECT_EQ(Contents(sim.Folder() / "table.csv"), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sim.Folder()), {}), 1)
            << "a temporary file left";
    }
    EXPECT_TRUE(device.WriteTable({table[0]}, true));
    EXPECT_EQ(Contents(sim.Folder() / "table.csv"),
              before + "4601234567890;0;Молоко пастеризованное 3,2%;л\n");
}

TEST(SimulatedDevice, AQuotedFieldKeepsItsLineBreaks) {
    const struct {
        const char* file;
        std::vector<Record> records;
    } cases[] = {
        {"4601;\"two\r\nlines\";3\r\n4602;1\r\n", {{u"4601", u"two\r\nlines", u"3"}, {u"4602", u"1"}}},
        {"\"a\nb\"\n\n\"say \"\"hi\"\"\";x\n", {{u"a\nb"}, {u"say \"hi\"", u"x"}}},
        // A quote that nothing closes reads to the end of its line and takes no later record along.
        {"\"open;1\r\n4602;1\n", {{u"open;1"}, {u"4602", u"1"}}},
    };
    test::TermSimFixture sim;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        sim.WriteFile("records.csv", c.file);
        EXPECT_EQ(DeviceFiles(sim.Folder()).ReadRecords(), c.records);
    }
}

// The example of tools/termsim/README.md as it stands there, comments after the values included.
TEST(FaultInjection, TheGuidesExampleInjectsWhatItSays) {
    const std::string guide =
        Contents(std::filesystem::path(__FILE__).parent_path() / "../../../../tools/termsim/README.md");
    const std::size_t section = guide.find("## Fault injection");
    ASSERT_NE(section, std::string::npos);
    const std::size_t start = guide.find("```ini\n", section) + 7, end = guide.find("```", start);
    ASSERT_NE(end, std::string::npos);
    const FaultSettings s = ParseFaults(guide.substr(start, end - start));
    EXPECT_EQ(s.For("BeginReport").Status, 7);
    EXPECT_EQ(s.For("BeginReport").Description, u"Нет связи с терминалом");
    EXPECT_EQ(s.For("BeginReport").DelayMs, 2000u);
    EXPECT_EQ(s.For("GetRecord").Exit, 1);
    EXPECT_EQ(s.For("EndReport").HResult, static_cast<int32_t>(0x80004005));
    EXPECT_EQ(s.For("EndReport").ErrorInfo, u"Порт COM3 занят");
    EXPECT_FALSE(s.Enabled);
    EXPECT_EQ(s.FieldCount, 1);
    EXPECT_EQ(s.DisabledDescription, u"Терминал не в подставке");
}

}  // namespace
}  // namespace dct::termsim
