// A fresh simulated terminal for one test: its own device folder (DCT_TERMSIM_DIR points there while
// the fixture lives) and, unless asked otherwise, the simulator registered in this process for
// CLSID_Terminals, so that TTerminals::Connect creates simulator objects over that folder.
//
// Texts given to and read from the folder's files are UTF-8.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dct::termsim {
class RegistrationTurn;
}

namespace dct::test {

class TermSimFixture {
public:
    enum class Activation {
        InProcess,  // the simulator's class object is registered in this process (CoRegisterClassObject)
        // Nothing is registered: the test arranges activation itself. Such fixtures take turns with
        // every other one of this kind on the machine (the Wine prefix), since they may change or
        // rely on the registry's registration of the class.
        None,
    };

    explicit TermSimFixture(Activation activation = Activation::InProcess);
    ~TermSimFixture();  // unregisters, removes the folder, unsets DCT_TERMSIM_DIR
    TermSimFixture(const TermSimFixture&) = delete;
    TermSimFixture& operator=(const TermSimFixture&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }

    // records.csv: one record per element, fields joined by ';'.
    void WriteRecords(const std::vector<std::vector<std::string>>& records) const;
    // faults.ini, verbatim, e.g. "[BeginReport]\nStatus=7\nDescription=No link\n".
    void WriteFaults(std::string_view iniText) const;
    // Writes any file of the folder verbatim.
    void WriteFile(std::string_view name, std::string_view bytes) const;

    // The call log, one element per line; empty before the first call.
    std::vector<std::string> Calls() const;
    void ClearCalls() const;
    // records.csv and table.csv split into fields; tasks.log line by line.
    std::vector<std::vector<std::string>> Records() const;
    std::vector<std::vector<std::string>> Table() const;
    std::vector<std::string> Tasks() const;

private:
    std::filesystem::path folder_;
    bool registered_ = false;
    std::unique_ptr<termsim::RegistrationTurn> turn_;
};

}  // namespace dct::test
