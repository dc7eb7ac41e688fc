#include "support/TermSimFixture.h"

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include "TermSim.h"
#include "TermSimDevice.h"
#include "base/Utf.h"

namespace dct::test {
namespace {

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::vector<std::string>> ReadCsv(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::vector<std::string>> rows;
    for (const termsim::Record& record : termsim::SplitCsvRecords(text)) {
        std::vector<std::string> row;
        for (const std::u16string& field : record) row.push_back(Utf16ToUtf8(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

TermSimFixture::TermSimFixture(Activation activation) {
    if (activation == Activation::None) turn_ = std::make_unique<termsim::RegistrationTurn>();
    std::random_device random;
    std::uniform_int_distribution<unsigned long long> pick;
    std::ostringstream name;
    name << "dct-termsim-test-" << std::hex << pick(random);
    folder_ = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::create_directories(folder_);
    termsim::SetDeviceFolderVariable(folder_);
    if (activation == Activation::InProcess) {
        if (FAILED(termsim::RegisterInProcess())) throw std::runtime_error("cannot register the terminal simulator");
        registered_ = true;
    }
}

TermSimFixture::~TermSimFixture() {
    if (registered_) termsim::UnregisterInProcess();
    termsim::SetDeviceFolderVariable({});
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void TermSimFixture::WriteRecords(const std::vector<std::vector<std::string>>& records) const {
    std::string text;
    for (const auto& record : records) {
        termsim::Record fields;
        for (const std::string& f : record) fields.push_back(Utf8ToUtf16(f));
        text += termsim::JoinCsvLine(fields) + "\n";
    }
    WriteFile("records.csv", text);
}

void TermSimFixture::WriteFaults(std::string_view iniText) const { WriteFile("faults.ini", iniText); }

void TermSimFixture::WriteFile(std::string_view name, std::string_view bytes) const {
    std::ofstream out(folder_ / std::string(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> TermSimFixture::Calls() const { return ReadLines(folder_ / "calls.log"); }

void TermSimFixture::ClearCalls() const { WriteFile("calls.log", ""); }

std::vector<std::vector<std::string>> TermSimFixture::Records() const { return ReadCsv(folder_ / "records.csv"); }

std::vector<std::vector<std::string>> TermSimFixture::Table() const { return ReadCsv(folder_ / "table.csv"); }

std::vector<std::string> TermSimFixture::Tasks() const { return ReadLines(folder_ / "tasks.log"); }

}  // namespace dct::test
